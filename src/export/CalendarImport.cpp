#include "export/CalendarImport.h"

#include "base/DateSerial.h"
#include "base/Error.h"
#include "base/RegularFile.h"
#include "diary/DiaryUndo.h"
#include "diary/EventUids.h"
#include "diary/JobTable.h"
#include "diary/UnitDM.h"
#include "engine/Connection.h"
#include "export/IcsImport.h"
#include "look/ProgramLook.h"
#include "platform/ErrorReporter.h"
#include "platform/MessageBoxes.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

namespace {

using Column = JobTable::Column;

// The columns an imported object sets, in the order of values().
const Column importedColumns[] = {Column::Job,      Column::Period,   Column::DateIsp, Column::TimeIsp, Column::Napom,
                                  Column::DateShed, Column::TimeShed, Column::Vip,     Column::Other};

// A date or a time of day as a batch takes it: the wall-clock digits as they stand, which no time zone shifts.
QVariant dateValue(const QDate& date)
{
    return date.isValid() ? QVariant(QDateTime(date, QTime(0, 0), Qt::UTC)) : QVariant();
}

QVariant timeValue(const QTime& time)
{
    return time.isValid() ? QVariant(QDateTime(DateSerial::epoch(), time, Qt::UTC)) : QVariant();
}

QList<QVariant> values(const IcsImport::Row& row)
{
    return {row.job,
            row.period.isEmpty() ? QVariant() : QVariant(row.period),
            dateValue(row.date),
            timeValue(row.time),
            row.napom,
            dateValue(row.shedDate),
            timeValue(row.shedTime),
            row.done,
            row.note.isEmpty() ? QVariant() : QVariant(row.note)};
}

QStringList columnNames()
{
    QStringList names;
    for (const Column column : importedColumns)
        names << JobTable::name(column);
    return names;
}

QString unreadableText(const QString& path, const QString& reason)
{
    return QStringLiteral("Не удалось прочитать файл «%1»: %2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

QByteArray CalendarImport::readCalendar(const QString& path)
{
    // The reasons a user can act on, told in words; RegularFile::read, which neither waits on a FIFO nor reads a
    // device, stays the one that refuses, whatever the path turns into meanwhile.
    const QFileInfo info(path);
    if (info.isDir())
        throw Error(unreadableText(path, QStringLiteral("это папка, а не файл.")));
    if (info.exists() && !info.isFile())
        throw Error(unreadableText(path, QStringLiteral("это не обычный файл (канал, устройство или сокет).")));
    const QString tooLarge =
        unreadableText(path, QStringLiteral("файл больше %1 МБ, календарь такого размера не импортируется.")
                                 .arg(maxCalendarSize / (1024 * 1024)));
    if (info.size() > maxCalendarSize)
        throw Error(tooLarge);
    QByteArray bytes = RegularFile::read(
        path, maxCalendarSize + 1, [&path](const QString& reason) { return Error(unreadableText(path, reason)); });
    if (bytes.size() > maxCalendarSize)
        throw Error(tooLarge);
    return bytes;
}

CalendarImport::Counts CalendarImport::write(Connection& diary, const QByteArray& calendar, const QString& diaryId,
                                             const QString& undoLabel)
{
    const std::vector<IcsImport::Row> rows = IcsImport::read(calendar, diaryId);
    if (rows.empty())
        return {};
    EventUids::prepare(diary);

    const QStringList names = columnNames();
    const QString insert = QStringLiteral("INSERT INTO job (%1) VALUES (%2)")
                               .arg(names.join(QStringLiteral(", ")),
                                    QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
    const QString update =
        QStringLiteral("UPDATE job SET %1 = ? WHERE id_job = ?").arg(names.join(QStringLiteral(" = ?, ")));
    Counts counts;
    diary.journalNextWrite(undoLabel);
    diary.writeBatch(QUuid::createUuid().toByteArray(QUuid::WithoutBraces), [&](Backend::Batch& batch) {
        counts = {};
        EventUids uids = EventUids::read(batch, diaryId);
        for (const IcsImport::Row& row : rows) {
            QList<QVariant> parameters = values(row);
            if (const std::optional<qint64> event = uids.eventOf(row.uid)) {
                parameters << *event;
                batch.run(update, parameters);
                ++counts.replaced;
                continue;
            }
            // Kept even for a UID of the diary's own whose event is gone: the next import of the file finds it.
            uids.keep(batch, batch.insert(insert, parameters), row.uid);
            ++counts.added;
        }
    });
    return counts;
}

QString CalendarImport::doneText(const Counts& counts)
{
    return QStringLiteral("Импорт из iCalendar: новых мероприятий — %1, заменено — %2")
        .arg(counts.added)
        .arg(counts.replaced);
}

CalendarImport::Dialogs CalendarImport::standardDialogs()
{
    Dialogs dialogs;
    dialogs.chooseFile = [](QWidget* parent, const QString& folder) {
        QFileDialog dialog(parent, QStringLiteral("Импорт из файла iCalendar"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters({QStringLiteral("Календарь iCalendar (*.ics)"), QStringLiteral("Все файлы (*)")});
        dialog.setDirectory(folder);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };
    return dialogs;
}

std::optional<CalendarImport::Counts> CalendarImport::run(QWidget* parent, TDataModule1& data, const Dialogs& dialogs,
                                                          const std::function<void()>& beforeWrite)
{
    std::optional<Counts> imported;
    ErrorReporter::guarded([&] {
        if (data.QJob.isOpen())
            data.QJob.checkBrowseMode();
        QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QDir(folder).exists())
            folder = QDir::homePath();
        const QString path = dialogs.chooseFile(parent, folder);
        if (path.isEmpty())
            return;
        const QByteArray calendar = readCalendar(path);
        if (beforeWrite)
            beforeWrite();
        const Counts counts = write(data.ADOConnection1, calendar, data.diaryIdentity(),
                                    DiaryUndo::importLabel(QFileInfo(path).fileName()));
        data.eventsWrittenElsewhere();
        MessageBoxes::tell(parent, ProgramLook::title(), doneText(counts));
        imported = counts;
    });
    return imported;
}
