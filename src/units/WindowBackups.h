#pragma once

#include "diary/DiaryBackups.h"

#include <QObject>

class QDialog;
class QTableWidget;
class QThread;
class TDataModule1;
class TFormMain;

// The window's side of the diary's backups: "Файл" -> "Резервные копии…" with its list and "Восстановить", the copy
// at the first start of a day (made on a thread of its own, so a large diary never holds up the window), and the
// copy before an import. A copy that fails is told once, and the program goes on.
class WindowBackups : public QObject
{
    Q_OBJECT

public:
    WindowBackups(TFormMain& window, TDataModule1& data, DiaryBackups backups);
    ~WindowBackups() override;
    WindowBackups(const WindowBackups&) = delete;
    WindowBackups& operator=(const WindowBackups&) = delete;

    // How long after start the day's copy begins, in milliseconds: start-up has the disk first.
    static constexpr int startDelay = 10000;

    // Makes the day's copy on a thread of its own unless one was made today; finished() comes when it is done.
    void startDaily();
    // Waits for the day's copy (tests, and the end of the program).
    void waitDaily();
    // A copy made now, on this thread, as before an import; a failure is told and the work goes on.
    void beforeImport();

    // "Файл" -> "Резервные копии…": the dialog, made at its first show.
    void N15Click();
    QDialog* dialog() const { return m_dialog; }
    QTableWidget* list() const { return m_list; }
    // "Восстановить" for the copy on that row of the list.
    void restoreRow(int row);

signals:
    void finished();

private:
    void makeDialog();
    void fillList();
    void tellFailure(const QString& text);

    TFormMain& m_window;
    TDataModule1& m_data;
    DiaryBackups m_backups;
    QThread* m_daily = nullptr;
    bool m_failureTold = false;
    std::vector<DiaryBackups::Backup> m_shown;
    QDialog* m_dialog = nullptr;
    QTableWidget* m_list = nullptr;
};
