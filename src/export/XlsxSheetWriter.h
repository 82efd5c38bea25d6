#pragma once

#include "base/Error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct XlsxLibrary;
struct lxw_format;
struct lxw_workbook;
struct lxw_worksheet;

// A workbook file with one worksheet, written by libxlsxwriter on a thread of its own: the caller hands over rows a
// chunk at a time and is free to read the next ones meanwhile, and, while it waits for the writer, it is called
// back to keep its window responsive.
class XlsxSheetWriter
{
public:
    // Why the workbook could not be written: the system's words where it gave them, the library's otherwise.
    class Failure : public Error
    {
    public:
        using Error::Error;
    };

    enum class Style { Plain, Date, DateTime, Time };

    struct Cell
    {
        enum class Type { Empty, Text, Number };
        Type type = Type::Empty;
        Style style = Style::Plain;
        double number = 0;
        QByteArray text; // UTF-8
    };

    // Called every so often while waiting for the writer; false cancels.
    using KeepAlive = std::function<bool()>;

    // Rows go to a temporary file in tmpDir as they are written, so a long sheet doesn't pile up in memory.
    XlsxSheetWriter(const QString& file, const QString& tmpDir, const QString& sheetName, int columns);
    // Abandons an unfinished workbook without writing its file.
    ~XlsxSheetWriter();
    XlsxSheetWriter(const XlsxSheetWriter&) = delete;
    XlsxSheetWriter& operator=(const XlsxSheetWriter&) = delete;

    // Before the first rows: column widths in characters, a bold header row kept in view, an autofilter over it and
    // the rows to come.
    void setColumnWidths(const std::vector<double>& widths);
    void setHeader(const QStringList& titles, int rows);

    // Queues cells, the given number of columns per row, for the rows after those given before. Returns false when
    // keepAlive cancelled while waiting for room.
    bool append(std::vector<Cell> cells, const KeepAlive& keepAlive);
    // Writes the file and waits for it. Returns false when keepAlive cancelled: packing can't be stopped, so it is
    // still called until the packing ends, and the file may exist then, for the caller to throw away.
    bool finish(const KeepAlive& keepAlive);

private:
    void start();
    void work();
    int writeRows(const std::vector<Cell>& cells, int firstRow);
    lxw_format* format(Style style) const;
    void check(int error) const;
    bool waitUntil(const std::function<bool()>& ready, const KeepAlive& keepAlive);
    [[noreturn]] void failWith(int error, int systemError) const;

    const XlsxLibrary* m_lib = nullptr;
    int m_columns;
    QByteArray m_tmpDir;
    lxw_workbook* m_book = nullptr; // owned until the writer thread has closed it
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_header = nullptr;
    lxw_format* m_date = nullptr;
    lxw_format* m_dateTime = nullptr;
    lxw_format* m_time = nullptr;

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<int, std::vector<Cell>>> m_queue; // first row, cells
    int m_nextRow = 1;
    bool m_finishing = false;
    bool m_abandoned = false;
    bool m_done = false;   // the thread has stopped
    bool m_closed = false; // workbook_close ran and freed the workbook
    int m_error = 0;
    int m_systemError = 0;
};
