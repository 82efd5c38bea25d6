#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class Connection;
class QWidget;
class TDataModule1;

// "Импорт из iCalendar…": a calendar file put into the diary whole, in one transaction. An object whose UID the
// diary already has (one of its own, or one an event came with) goes over that event; any other becomes a new
// event that keeps the UID it came with, so that importing the file again replaces rather than doubles.
class CalendarImport
{
public:
    struct Counts
    {
        int added = 0;
        int replaced = 0;
    };

    // Reads the calendar and writes its events into the diary whose identity is diaryId. A calendar that can't be
    // read throws IcsImport::Unreadable, naming the line, before anything is written; an engine's error leaves
    // nothing written either. With a label, the import is one step of the undo journal under it.
    static Counts write(Connection& diary, const QByteArray& calendar, const QString& diaryId,
                        const QString& undoLabel = {});

    // What the user is asked; the tests put their own answers in.
    struct Dialogs
    {
        // Returns the file chosen, or an empty text when the user cancelled.
        std::function<QString(QWidget* parent, const QString& folder)> chooseFile;
    };
    static Dialogs standardDialogs();

    // The whole menu command: the edit under way saved, the file asked for and imported, the list read again and
    // the user told what was added and replaced. Errors are shown, never thrown; none when cancelled or failed.
    // beforeWrite, when given, runs once the file is read and before the diary is written.
    static std::optional<Counts> run(QWidget* parent, TDataModule1& data, const Dialogs& dialogs,
                                     const std::function<void()>& beforeWrite = {});

    // The most of a calendar file the import reads: far more than years of a diary, little enough to read at once.
    static constexpr qsizetype maxCalendarSize = 64 * 1024 * 1024;

    // The file's bytes. A folder, a FIFO, a device or a file past maxCalendarSize is refused with the reason, at once
    // and without waiting on it.
    static QByteArray readCalendar(const QString& path);

    // What the user is told after an import.
    static QString doneText(const Counts& counts);
};
