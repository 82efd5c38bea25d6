#include "export/XlsxSheetWriter.h"

#include <QFile>

#include "export/XlsxLibrary.h"

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace {

// Chunks waiting for the writer: enough to keep it busy, few enough to bound the memory.
constexpr std::size_t queueLimit = 4;
// How often a waiting caller is called back.
constexpr std::chrono::milliseconds keepAliveInterval(100);

} // namespace

XlsxSheetWriter::XlsxSheetWriter(const QString& file, const QString& tmpDir, const QString& sheetName, int columns)
    : m_columns(columns), m_tmpDir(QFile::encodeName(tmpDir))
{
    QString loadError;
    m_lib = XlsxLibrary::load(loadError);
    if (!m_lib)
        throw Failure(loadError);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_tmpDir.data();
    m_book = m_lib->workbook_new_opt(QFile::encodeName(file).constData(), &options);
    if (!m_book)
        failWith(LXW_ERROR_MEMORY_MALLOC_FAILED, 0);
    m_sheet = m_lib->workbook_add_worksheet(m_book, sheetName.toUtf8().constData());
    if (!m_sheet) {
        // The library says why only on its console; the usual cause is a temporary file it could not make.
        const int systemError = errno;
        m_lib->lxw_workbook_free(m_book);
        m_book = nullptr;
        failWith(LXW_ERROR_CREATING_TMPFILE, systemError);
    }
    m_header = m_lib->workbook_add_format(m_book);
    m_lib->format_set_bold(m_header);
    m_lib->format_set_text_wrap(m_header);
    m_lib->format_set_align(m_header, LXW_ALIGN_VERTICAL_CENTER);
    m_lib->format_set_bottom(m_header, LXW_BORDER_THIN);
    m_date = m_lib->workbook_add_format(m_book);
    m_lib->format_set_num_format(m_date, "dd.mm.yyyy");
    m_dateTime = m_lib->workbook_add_format(m_book);
    m_lib->format_set_num_format(m_dateTime, "dd.mm.yyyy hh:mm:ss");
    m_time = m_lib->workbook_add_format(m_book);
    m_lib->format_set_num_format(m_time, "hh:mm");
}

XlsxSheetWriter::~XlsxSheetWriter()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_abandoned = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    if (m_closed || !m_book)
        return;
    // Freeing a workbook leaves the rows' temporary file open; without this every abandoned export would keep a
    // descriptor and the file's disk space until the program ends.
    if (m_sheet && m_sheet->optimize_tmpfile) {
        std::fclose(m_sheet->optimize_tmpfile);
        m_sheet->optimize_tmpfile = nullptr;
    }
    m_lib->lxw_workbook_free(m_book);
}

void XlsxSheetWriter::setColumnWidths(const std::vector<double>& widths)
{
    for (std::size_t col = 0; col < widths.size(); ++col)
        check(m_lib->worksheet_set_column(m_sheet, static_cast<lxw_col_t>(col), static_cast<lxw_col_t>(col),
                                          widths[col], nullptr));
}

void XlsxSheetWriter::setHeader(const QStringList& titles, int rows)
{
    check(m_lib->worksheet_set_row(m_sheet, 0, 30, nullptr));
    for (int col = 0; col < titles.size(); ++col)
        check(m_lib->worksheet_write_string(m_sheet, 0, static_cast<lxw_col_t>(col), titles[col].toUtf8().constData(),
                                            m_header));
    m_lib->worksheet_freeze_panes(m_sheet, 1, 0);
    check(m_lib->worksheet_autofilter(m_sheet, 0, 0, static_cast<lxw_row_t>(rows),
                                      static_cast<lxw_col_t>(m_columns - 1)));
}

bool XlsxSheetWriter::append(std::vector<Cell> cells, const KeepAlive& keepAlive)
{
    start();
    if (!waitUntil([this] { return m_queue.size() < queueLimit || m_done; }, keepAlive))
        return false;
    {
        std::lock_guard lock(m_mutex);
        if (m_done)
            failWith(m_error, m_systemError);
        const int rows = static_cast<int>(cells.size()) / m_columns;
        m_queue.emplace_back(m_nextRow, std::move(cells));
        m_nextRow += rows;
    }
    m_changed.notify_all();
    return true;
}

bool XlsxSheetWriter::finish(const KeepAlive& keepAlive)
{
    start();
    {
        std::lock_guard lock(m_mutex);
        m_finishing = true;
    }
    m_changed.notify_all();
    const bool waited = waitUntil([this] { return m_done; }, keepAlive);
    if (!waited) {
        // Cancelled while the file is being packed: that can't be stopped, only waited for and thrown away, with
        // the caller still kept responsive.
        waitUntil([this] { return m_done; },
                  [&keepAlive] {
                      keepAlive();
                      return true;
                  });
    }
    m_thread.join();
    if (m_error != LXW_NO_ERROR)
        failWith(m_error, m_systemError);
    return waited;
}

void XlsxSheetWriter::start()
{
    if (!m_thread.joinable() && !m_done)
        m_thread = std::thread(&XlsxSheetWriter::work, this);
}

bool XlsxSheetWriter::waitUntil(const std::function<bool()>& ready, const KeepAlive& keepAlive)
{
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_changed.wait_for(lock, keepAliveInterval, ready))
                return true;
        }
        if (keepAlive && !keepAlive())
            return false;
    }
}

void XlsxSheetWriter::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_abandoned || !m_queue.empty() || m_finishing; });
        if (m_abandoned)
            break;
        if (m_queue.empty()) {
            lock.unlock();
            // The rows' temporary file is not checked by the library: a full disk would otherwise give a file
            // cut short that reads as complete.
            int error = LXW_NO_ERROR;
            int systemError = 0;
            FILE* rows = m_sheet->optimize_tmpfile;
            if (rows && (std::fflush(rows) != 0 || std::ferror(rows))) {
                error = LXW_ERROR_CREATING_TMPFILE;
                systemError = errno;
            }
            if (error == LXW_NO_ERROR) {
                errno = 0;
                error = m_lib->workbook_close(m_book);
                systemError = error == LXW_NO_ERROR ? 0 : errno;
                lock.lock();
                m_closed = true;
            } else {
                lock.lock();
            }
            m_error = error;
            m_systemError = systemError;
            break;
        }
        auto [firstRow, cells] = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        m_changed.notify_all();
        const int error = writeRows(cells, firstRow);
        lock.lock();
        if (error != LXW_NO_ERROR) {
            m_error = error;
            break;
        }
    }
    m_done = true;
    lock.unlock();
    m_changed.notify_all();
}

int XlsxSheetWriter::writeRows(const std::vector<Cell>& cells, int firstRow)
{
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells[i];
        const auto row = static_cast<lxw_row_t>(firstRow + static_cast<int>(i) / m_columns);
        const auto col = static_cast<lxw_col_t>(static_cast<int>(i) % m_columns);
        lxw_error error = LXW_NO_ERROR;
        switch (cell.type) {
        case Cell::Type::Empty:
            break;
        case Cell::Type::Text:
            error = m_lib->worksheet_write_string(m_sheet, row, col, cell.text.constData(), format(cell.style));
            break;
        case Cell::Type::Number:
            error = m_lib->worksheet_write_number(m_sheet, row, col, cell.number, format(cell.style));
            break;
        }
        if (error != LXW_NO_ERROR)
            return error;
    }
    return LXW_NO_ERROR;
}

lxw_format* XlsxSheetWriter::format(Style style) const
{
    switch (style) {
    case Style::Date:
        return m_date;
    case Style::DateTime:
        return m_dateTime;
    case Style::Time:
        return m_time;
    case Style::Plain:
        break;
    }
    return nullptr;
}

void XlsxSheetWriter::check(int error) const
{
    if (error != LXW_NO_ERROR)
        failWith(error, 0);
}

void XlsxSheetWriter::failWith(int error, int systemError) const
{
    throw Failure(systemError != 0 ? qt_error_string(systemError)
                                   : QString::fromUtf8(m_lib->lxw_strerror(static_cast<lxw_error>(error))));
}
