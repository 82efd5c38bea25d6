// "Импорт из iCalendar…" into the diary, in the file and on the server: calendars of other programs and the
// program's own, imported twice without doubles; a broken file writes nothing.
#include "export/CalendarImport.h"
#include "databind/RecordSet.h"
#include "diary/DiaryIdentity.h"
#include "diary/EventUids.h"
#include "engine/Connection.h"
#include "engine/DiaryFile.h"
#include "export/IcsExport.h"
#include "export/IcsImport.h"
#include "support/DataModuleTest.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/ZoneScope.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Runs a program to its end; its error output when it fails.
QString failureOf(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {})
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return program + u' ' + QString::fromUtf8(process.readAllStandardError());
    return {};
}

// Events made with khal, each in a file of its own in khal's folder, under a configuration of the test's own.
QStringList khalFiles(const QTemporaryDir& folder)
{
    const QString calendars = folder.filePath(QStringLiteral("vdir/test"));
    QDir().mkpath(calendars);
    const QString config = folder.filePath(QStringLiteral("khal.conf"));
    QFile file(config);
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("[calendars]\n[[test]]\npath = %1\n[locale]\ntimeformat = %H:%M\n"
                              "dateformat = %Y-%m-%d\nlongdateformat = %Y-%m-%d\ndatetimeformat = %Y-%m-%d %H:%M\n"
                              "longdatetimeformat = %Y-%m-%d %H:%M\ndefault_timezone = Europe/Berlin\n"
                              "local_timezone = Europe/Berlin\n[sqlite]\npath = %2\n")
                   .arg(calendars, folder.filePath(QStringLiteral("khal.db")))
                   .toUtf8());
    file.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), folder.path());
    const QList<QStringList> events = {
        {"--alarms", "30m", "2027-03-01", "10:00", "11:00", "Встреча с врачом", "::", "Взять полис"},
        {"--repeat", "weekly", "2027-03-02", "18:00", "19:00", "Уборка"},
        {"2027-05-09", "Праздник"},
    };
    for (const QStringList& event : events) {
        const QString failure =
            failureOf(QStringLiteral("khal"), QStringList{"-c", config, "new", "-a", "test"} + event, environment);
        if (!failure.isEmpty())
            return {failure};
    }
    QStringList paths;
    for (const QString& name : QDir(calendars).entryList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name))
        paths << QDir(calendars).filePath(name);
    return paths;
}

class CalendarImportTest : public testing::TestWithParam<DiaryKind>
{
protected:
    CalendarImport::Counts import(const QByteArray& calendar)
    {
        return CalendarImport::write(*connection, calendar, diaryId);
    }

    // Every event as "job|period|date time|done|reminder start|note", in the order of their keys.
    QStringList stored()
    {
        const std::unique_ptr<Snapshot> rows = connection->select(
            QStringLiteral("SELECT job, period, date_isp, time_isp, vip, napom, date_shed, time_shed, other FROM job "
                           "ORDER BY id_job"),
            {});
        const auto when = [&](int row, int date, int time) {
            QString text;
            if (!rows->value(row, date).isNull())
                text = DateSerial::toDate(rows->value(row, date).toDouble()).toString(Qt::ISODate);
            if (!rows->value(row, time).isNull())
                text += u' ' + DateSerial::toTime(rows->value(row, time).toDouble()).toString(QStringLiteral("HH:mm"));
            return text;
        };
        QStringList events;
        for (int r = 0; r < rows->rowCount(); ++r)
            events << QStringList{rows->value(r, 0).toString(),
                                  rows->value(r, 1).toString(),
                                  when(r, 2, 3),
                                  rows->value(r, 4).toBool() ? QStringLiteral("done") : QString(),
                                  rows->value(r, 5).toBool() ? when(r, 6, 7) : QString(),
                                  rows->value(r, 8).toString()}
                          .join(u'|');
        return events;
    }

    const ZoneScope zone{"Europe/Berlin"};
    QTemporaryDir out;
    DiaryFile diary{GetParam()};
    std::unique_ptr<Connection> connection = diary.connect();
    const QString diaryId = DiaryIdentity::of(*connection);
};

} // namespace

// A second import of the same file, changed in between, replaces every event it added rather than doubling it.
TEST_P(CalendarImportTest, ACalendarOfAnotherProgramIsAddedOnceAndThenReplaced)
{
    const QString python = out.filePath(QStringLiteral("python.ics"));
    ASSERT_EQ(failureOf(QStringLiteral("/usr/bin/python3"), {QStringLiteral(WRITE_ICS), python}), QString());
    const QStringList khal = khalFiles(out);
    ASSERT_EQ(khal.size(), 3) << khal.join(u' ').toStdString();

    const struct
    {
        const char* program;
        QStringList files;
        QStringList events;
    } cases[] = {
        {"python3-icalendar",
         {python},
         {"Встреча, с запятой; и точкой с запятой||2027-03-01 16:00|||Первая строка\nвторая",
          "Отчёт|еженедельное|2027-07-01 08:15|done||", "Позвонить||2027-04-02||2027-04-01 21:30|",
          "Годовщина|Памятная дата|2010-08-15|||"}},
        {"khal",
         khal,
         {"Встреча с врачом||2027-03-01 10:00||2027-03-01 09:30|Взять полис", "Уборка|еженедельное|2027-03-02 18:00|||",
          "Праздник||2027-05-09|||"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        diary.execute("DELETE FROM job");
        int added = 0;
        for (const QString& file : c.files)
            added += import(contents(file)).added;
        EXPECT_EQ(added, c.events.size());
        QStringList expected = c.events;
        expected.sort();
        QStringList events = stored();
        events.sort();
        EXPECT_EQ(events, expected);

        int replaced = 0;
        for (const QString& file : c.files) {
            const CalendarImport::Counts again = import(contents(file).replace("SUMMARY:", "SUMMARY:Снова "));
            EXPECT_EQ(again.added, 0);
            replaced += again.replaced;
        }
        EXPECT_EQ(replaced, c.events.size());
        events = stored();
        EXPECT_EQ(events.size(), c.events.size());
        for (const QString& event : events)
            EXPECT_TRUE(event.startsWith(QStringLiteral("Снова "))) << event.toStdString();
    }
}

// Read back over the same diary, the program's own export puts each event over itself.
TEST_P(CalendarImportTest, TheProgramsOwnExportReplacesTheEventsItCameFrom)
{
    diary.add({QStringLiteral("Позвонить маме"), {}, QDate(2027, 3, 5), {}, false, QStringLiteral("вечером")});
    diary.add({QStringLiteral("Иван"), QStringLiteral("День рождения"), QDate(1980, 3, 10), {}, false, {}});
    // An event that came from elsewhere goes out with the UID it came with, and so comes back to itself too.
    ASSERT_EQ(import("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\nBEGIN:VTODO\r\n"
                     "UID:phone-7@example.org\r\nSUMMARY:С телефона\r\nDUE;VALUE=DATE:20270401\r\nEND:VTODO\r\n"
                     "END:VCALENDAR\r\n")
                  .added,
              1);
    const QStringList before = stored();

    RecordSet list(QStringLiteral("QJob"), *connection);
    list.setSql({QStringLiteral("select * from job order by id_job")});
    list.open();
    const QString path = out.filePath(QStringLiteral("own.ics"));
    ASSERT_TRUE(IcsExport::write(list, path, EventUids::read(*connection, diaryId)));
    const CalendarImport::Counts counts = import(contents(path));
    EXPECT_EQ(counts.added, 0);
    EXPECT_EQ(counts.replaced, 3);
    EXPECT_EQ(stored(), before);
}

INSTANTIATE_TEST_SUITE_P(Diaries, CalendarImportTest, bothDiaryKinds(), diaryKindName);

namespace {

class CalendarImportCommand : public DataModuleTest
{
protected:
    CalendarImport::Dialogs choosing(const QString& path)
    {
        return {[path](QWidget*, const QString&) { return path; }};
    }
    QTemporaryDir out;
    std::atomic<bool> released = false;
};

} // namespace

// The command saves the edit under way, writes nothing of a file with a broken line and says which line; a good
// file is imported, the list read again and the counts told.
TEST_F(CalendarImportCommand, ABrokenLineIsNamedAndNothingIsWritten)
{
    diary.addRow({{QStringLiteral("job"), QStringLiteral("Было")}});
    RecordSet& jobs = allJobs();
    jobs.edit();
    jobs.fieldByName(QStringLiteral("job")).setValue(QStringLiteral("Было, поправлено"));
    const QString broken = out.filePath(QStringLiteral("broken.ics"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:a@example.org\r\nSUMMARY:Первое\r\nEND:VTODO\r\n"
               "BEGIN:VTODO\r\nUID:b@example.org\r\nSUMMARY Второе без двоеточия\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    file.close();
    ScriptedMessageBoxes::instance().clear();

    EXPECT_FALSE(CalendarImport::run(nullptr, module(), choosing(broken)));
    ASSERT_EQ(ScriptedMessageBoxes::instance().shownTexts().size(), 1);
    EXPECT_TRUE(ScriptedMessageBoxes::instance().shownTexts()[0].contains(QStringLiteral("строка 9")))
        << ScriptedMessageBoxes::instance().shownTexts()[0].toStdString();
    EXPECT_EQ(jobs.recordCount(), 1);
    EXPECT_EQ(jobs.fieldByName(QStringLiteral("job")).value().toString(), QStringLiteral("Было, поправлено"));
    EXPECT_FALSE(jobs.isEditing());

    file.open(QIODevice::WriteOnly);
    file.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:a@example.org\r\nSUMMARY:Первое\r\nEND:VTODO\r\n"
               "END:VCALENDAR\r\n");
    file.close();
    ScriptedMessageBoxes::instance().clear();
    const std::optional<CalendarImport::Counts> counts = CalendarImport::run(nullptr, module(), choosing(broken));
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->added, 1);
    EXPECT_EQ(ScriptedMessageBoxes::instance().shownTexts(), QStringList{CalendarImport::doneText(*counts)});
    EXPECT_EQ(jobs.recordCount(), 2);
}

namespace {

// A file the import must refuse at once, without reading it, and why.
struct HostileFile
{
    const char* name;
    // Makes the file in the folder and returns its path.
    std::function<QString(const QTemporaryDir&)> make;
    const char* reason;
};

void PrintTo(const HostileFile& c, std::ostream* out)
{
    *out << c.name;
}

const HostileFile hostileFiles[] = {
    {"Fifo",
     [](const QTemporaryDir& dir) {
         const QString path = dir.filePath(QStringLiteral("pipe.ics"));
         EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
         return path;
     },
     "это не обычный файл"},
    {"Device", [](const QTemporaryDir&) { return QStringLiteral("/dev/zero"); }, "это не обычный файл"},
    {"Folder", [](const QTemporaryDir& dir) { return dir.path(); }, "это папка"},
    {"PastTheLimit",
     [](const QTemporaryDir& dir) {
         const QString path = dir.filePath(QStringLiteral("huge.ics"));
         QFile file(path);
         // Sparse: no disk spent on it.
         EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(CalendarImport::maxCalendarSize + 1));
         return path;
     },
     "файл больше 64 МБ"},
};

class HostileCalendarFile : public CalendarImportCommand, public ::testing::WithParamInterface<HostileFile>
{
};

// Refused with the reason; the diary is as it was. A FIFO is never opened for reading: a writer waiting on it would
// be let through by a reader.
TEST_P(HostileCalendarFile, IsRefusedAtOnceWithTheReason)
{
    const HostileFile& c = GetParam();
    diary.addRow({{QStringLiteral("job"), QStringLiteral("Было")}});
    RecordSet& jobs = allJobs();
    const QString path = c.make(out);
    std::atomic<bool> openedByTheImport = false;
    std::thread writer;
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode))
        writer = std::thread([&] {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
            openedByTheImport = !released;
            ::close(fd);
        });
    ScriptedMessageBoxes::instance().clear();

    EXPECT_FALSE(CalendarImport::run(nullptr, module(), choosing(path)));
    ASSERT_EQ(ScriptedMessageBoxes::instance().shownTexts().size(), 1);
    const QString shown = ScriptedMessageBoxes::instance().shownTexts()[0];
    EXPECT_TRUE(
        shown.startsWith(QStringLiteral("Не удалось прочитать файл «%1»: ").arg(QDir::toNativeSeparators(path))))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromUtf8(c.reason))) << shown.toStdString();
    jobs.refresh();
    EXPECT_EQ(jobs.recordCount(), 1);
    if (writer.joinable()) {
        released = true;
        // A reader of our own lets the writer's open through.
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        writer.join();
        ::close(fd);
        EXPECT_FALSE(openedByTheImport);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileCalendarFile, ::testing::ValuesIn(hostileFiles),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
