#include "export/IcsExport.h"

#include "databind/RecordSet.h"
#include "diary/DiaryBackend.h"
#include "diary/EventUids.h"
#include "diary/JobTable.h"
#include "diary/IcsUid.h"
#include "engine/Connection.h"
#include "support/FixedClock.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TempDiary.h"
#include "support/ZoneScope.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <libical/ical.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <sys/resource.h>
#include <time.h>

namespace {

const QString diaryId = QStringLiteral("/home/user/diary");

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class IcsExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(out.isValid());
        ScriptedMessageBoxes::instance().clear();
    }

    qint64 add(const QString& job, const QString& period, QDate date, QTime time, QDate shed, QTime shedTime, bool done,
               const QString& note)
    {
        QVariantMap row{
            {QStringLiteral("job"), job}, {QStringLiteral("period"), period}, {QStringLiteral("vip"), done}};
        if (date.isValid())
            row[QStringLiteral("date_isp")] = date;
        if (time.isValid())
            row[QStringLiteral("time_isp")] = time;
        if (shed.isValid())
            row[QStringLiteral("date_shed")] = shed;
        if (shedTime.isValid())
            row[QStringLiteral("time_shed")] = shedTime;
        if (!note.isEmpty())
            row[QStringLiteral("other")] = note;
        return diary.addRow(row);
    }

    RecordSet& openList()
    {
        connection = std::make_unique<Connection>(DiaryBackend::open(diary.connectionString()), JobTable::schema());
        list = std::make_unique<RecordSet>(QStringLiteral("QJob"), *connection);
        list->setSql({QStringLiteral("select * from job order by id_job")});
        list->open();
        return *list;
    }

    IcsExport::Dialogs choosing(const QString& path)
    {
        IcsExport::Dialogs dialogs;
        dialogs.choosePath = [path](QWidget*, const QString&) { return path; };
        return dialogs;
    }

    QString target() const { return out.filePath(QStringLiteral("дневник.ics")); }
    const QList<MessageBoxes::Message>& boxes() const { return ScriptedMessageBoxes::instance().shown(); }

    FixedClock clock{QDateTime(QDate(2027, 3, 1), QTime(10, 0))};
    TempDiary diary;
    QTemporaryDir out;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<RecordSet> list;
};

// What a calendar reader sees of one component.
struct Seen
{
    std::string kind, summary, start, due, rule, status, description, trigger, zone;
    int alarms = 0;
};

std::string text(const char* value)
{
    return value ? value : "";
}

std::map<std::string, Seen> readBack(const QByteArray& ics, std::string* timezone)
{
    std::map<std::string, Seen> seen;
    icalcomponent* calendar = icalparser_parse_string(ics.constData());
    EXPECT_NE(calendar, nullptr);
    if (!calendar)
        return seen;
    EXPECT_EQ(icalcomponent_isa(calendar), ICAL_VCALENDAR_COMPONENT);
    EXPECT_EQ(icalcomponent_count_errors(calendar), 0);
    if (icalcomponent* zone = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT))
        *timezone = text(icalproperty_get_tzid(icalcomponent_get_first_property(zone, ICAL_TZID_PROPERTY)));
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
        const icalcomponent_kind kind = icalcomponent_isa(c);
        if (kind != ICAL_VEVENT_COMPONENT && kind != ICAL_VTODO_COMPONENT)
            continue;
        Seen s;
        s.kind = kind == ICAL_VEVENT_COMPONENT ? "VEVENT" : "VTODO";
        s.summary = text(icalcomponent_get_summary(c));
        EXPECT_NE(icalcomponent_get_first_property(c, ICAL_DTSTAMP_PROPERTY), nullptr);
        const auto timeOf = [&](icalproperty_kind property) -> std::string {
            icalproperty* p = icalcomponent_get_first_property(c, property);
            if (!p)
                return {};
            if (icalparameter* tzid = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER))
                s.zone = text(icalparameter_get_tzid(tzid));
            return text(icaltime_as_ical_string(icalvalue_get_datetime(icalproperty_get_value(p))));
        };
        s.start = timeOf(ICAL_DTSTART_PROPERTY);
        s.due = timeOf(ICAL_DUE_PROPERTY);
        if (icalproperty* rule = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY)) {
            icalrecurrencetype recurrence = icalproperty_get_rrule(rule);
            s.rule = text(icalrecurrencetype_as_string(&recurrence));
        }
        if (icalproperty* status = icalcomponent_get_first_property(c, ICAL_STATUS_PROPERTY))
            s.status = text(icalproperty_status_to_string(icalproperty_get_status(status)));
        s.description = text(icalcomponent_get_description(c));
        for (icalcomponent* alarm = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT); alarm;
             alarm = icalcomponent_get_next_component(c, ICAL_VALARM_COMPONENT)) {
            ++s.alarms;
            const icaltriggertype trigger =
                icalproperty_get_trigger(icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY));
            s.trigger = text(icaldurationtype_as_ical_string(trigger.duration));
        }
        seen[text(icalcomponent_get_uid(c))] = s;
    }
    icalcomponent_free(calendar);
    return seen;
}

std::string uidOf(qint64 id)
{
    return IcsUid::of(id, diaryId).toStdString();
}

// The lines the second reader, Python's icalendar, prints for the calendar at path, sorted.
QStringList readWithPython(const QString& path)
{
    QProcess python;
    // Debian's own Python, which python3-icalendar installs into.
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(READ_ICS), path});
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    QStringList lines = QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

// The second reader's line of the row with that id, its UID left out.
QString pythonLine(const QStringList& lines, qint64 id)
{
    for (const QString& l : lines)
        if (l.section(u'|', 1, 1) == QString::fromStdString(uidOf(id)))
            return l.section(u'|', 0, 0) + u'|' + l.section(u'|', 2);
    return QString();
}

} // namespace

TEST_F(IcsExportTest, EveryKindOfRowReadsBackWithItsDatesRecurrenceAlarmStatusAndNote)
{
    const ZoneScope zone("Europe/Berlin");
    const QTime none;
    const qint64 birthday = add(QStringLiteral("Иванов И.И."), QStringLiteral("День рождения"), {1980, 4, 20}, none,
                                {2026, 4, 13}, QTime(9, 0), false, QStringLiteral("торт"));
    const qint64 leapDay =
        add(QStringLiteral("Високосный В."), QStringLiteral("День рождения"), {2000, 2, 29}, none, {}, none, false, {});
    const qint64 memorable = add(QStringLiteral("Свадьба"), QStringLiteral("Памятная дата"), {2010, 8, 7}, none,
                                 {2026, 8, 1}, none, false, {});
    const struct
    {
        const char* period;
        const char* rule;
        bool done;
    } recurring[] = {
        {"ежечасное", "FREQ=HOURLY", false},
        {"ежедневное", "FREQ=DAILY", true},
        {"еженедельное", "FREQ=WEEKLY", false},
        {"ежемесячное", "FREQ=MONTHLY", false},
        {"ежеквартальное", "FREQ=MONTHLY;INTERVAL=3", true},
        {"ежегодное", "FREQ=YEARLY", false},
    };
    std::vector<qint64> recurringIds;
    for (const auto& r : recurring)
        recurringIds.push_back(add(QString::fromUtf8(r.period), QString::fromUtf8(r.period), {2027, 7, 1},
                                   QTime(14, 30), {}, none, r.done, QStringLiteral("заметка; с, запятой")));
    const qint64 once = add(QStringLiteral("критическое дело"), QStringLiteral("критическое"), {2027, 1, 15},
                            QTime(8, 5), {}, none, true, {});
    const qint64 allDay =
        add(QStringLiteral("без времени"), QStringLiteral("разовое"), {2027, 2, 3}, none, {}, none, false, {});
    const qint64 undated = add(QStringLiteral("без даты"), {}, {}, none, {}, none, false, {});

    ASSERT_TRUE(IcsExport::write(openList(), target(), EventUids(diaryId)));
    std::string timezone;
    const std::map<std::string, Seen> seen = readBack(contents(target()), &timezone);
    EXPECT_EQ(timezone, "Europe/Berlin");
    ASSERT_EQ(seen.size(), 3u + 6u + 3u);

    const Seen& b = seen.at(uidOf(birthday));
    EXPECT_EQ(b.kind, "VEVENT");
    EXPECT_EQ(b.summary, "День рождения: Иванов И.И.");
    EXPECT_EQ(b.start, "19800420");
    EXPECT_EQ(b.rule, "FREQ=YEARLY");
    EXPECT_EQ(b.description, "торт");
    EXPECT_EQ(b.alarms, 1);
    // From 13 April 09:00 to the day's start on 20 April: 6 days 15 hours.
    EXPECT_EQ(b.trigger, "-P6DT15H");

    const Seen& l = seen.at(uidOf(leapDay));
    EXPECT_EQ(l.start, "20000229");
    EXPECT_EQ(l.rule, "FREQ=YEARLY;BYMONTHDAY=-1;BYMONTH=2");
    EXPECT_EQ(l.alarms, 0);

    const Seen& m = seen.at(uidOf(memorable));
    EXPECT_EQ(m.kind, "VEVENT");
    EXPECT_EQ(m.summary, "Свадьба");
    EXPECT_EQ(m.start, "20100807");
    EXPECT_EQ(m.rule, "FREQ=YEARLY");
    EXPECT_EQ(m.trigger, "-P6D");

    for (std::size_t i = 0; i < recurringIds.size(); ++i) {
        const Seen& r = seen.at(uidOf(recurringIds[i]));
        SCOPED_TRACE(recurring[i].period);
        EXPECT_EQ(r.kind, "VTODO");
        EXPECT_EQ(r.summary, recurring[i].period);
        EXPECT_EQ(r.due, "20270701T143000");
        EXPECT_EQ(r.start, "20270701T143000");
        EXPECT_EQ(r.zone, "Europe/Berlin");
        EXPECT_EQ(r.rule, recurring[i].rule);
        EXPECT_EQ(r.status, recurring[i].done ? "COMPLETED" : "NEEDS-ACTION");
        EXPECT_EQ(r.description, "заметка; с, запятой");
    }

    const Seen& o = seen.at(uidOf(once));
    EXPECT_EQ(o.kind, "VTODO");
    EXPECT_EQ(o.due, "20270115T080500");
    EXPECT_EQ(o.zone, "Europe/Berlin");
    EXPECT_EQ(o.rule, "");
    EXPECT_EQ(o.status, "COMPLETED");
    EXPECT_EQ(seen.at(uidOf(allDay)).due, "20270203");
    EXPECT_EQ(seen.at(uidOf(undated)).due, "");

    // Exported again, the same rows keep their UIDs, so a calendar updates them instead of adding copies.
    const QByteArray first = contents(target());
    ASSERT_TRUE(IcsExport::write(openList(), target(), EventUids(diaryId)));
    EXPECT_EQ(contents(target()), first);
    EXPECT_NE(IcsUid::of(birthday, diaryId), IcsUid::of(birthday, QStringLiteral("/another/diary")));

    // A second reader: Python's icalendar parses the file and expands the recurrences.
    const QStringList lines = readWithPython(target());
    const auto line = [&lines](qint64 id) { return pythonLine(lines, id); };
    EXPECT_EQ(lines.size(), 12);
    EXPECT_EQ(line(birthday),
              QStringLiteral("VEVENT|День рождения: Иванов И.И.|None|1980-04-20,1981-04-20,1982-04-20"));
    EXPECT_EQ(line(leapDay),
              QStringLiteral("VEVENT|День рождения: Високосный В.|None|2000-02-29,2001-02-28,2002-02-28"));
    EXPECT_EQ(line(recurringIds[0]), QStringLiteral("VTODO|ежечасное|Europe/Berlin|2027-07-01T14:30:00+02:00,"
                                                    "2027-07-01T15:30:00+02:00,2027-07-01T16:30:00+02:00"));
    EXPECT_EQ(line(recurringIds[2]), QStringLiteral("VTODO|еженедельное|Europe/Berlin|2027-07-01T14:30:00+02:00,"
                                                    "2027-07-08T14:30:00+02:00,2027-07-15T14:30:00+02:00"));
    EXPECT_EQ(line(recurringIds[4]), QStringLiteral("VTODO|ежеквартальное|Europe/Berlin|2027-07-01T14:30:00+02:00,"
                                                    "2027-10-01T14:30:00+02:00,2028-01-01T14:30:00+01:00"));
    EXPECT_EQ(line(once), QStringLiteral("VTODO|критическое дело|Europe/Berlin|2027-01-15T08:05:00+01:00"));
}

// Every year the program takes is written as itself, though libical's own constructors stop at 3000; a text keeps
// all but the control characters a calendar may not hold, its line breaks becoming escaped newlines.
TEST_F(IcsExportTest, DatesOfEveryYearAndTextsWithControlCharactersReadBackAsThemselves)
{
    const ZoneScope zone("Europe/Berlin");
    // The to-dos' times are local; the second reader can't place one on the last day it knows, so that one has none.
    const struct
    {
        QDate date;
        QTime time;
        const char* day;
        const char* occurrences; // of the yearly event, as the second reader expands them
    } dates[] = {
        {{100, 6, 1}, {14, 30}, "01000601", "0100-06-01,0101-06-01,0102-06-01"},
        {{2999, 6, 1}, {14, 30}, "29990601", "2999-06-01,3000-06-01,3001-06-01"},
        {{3001, 6, 1}, {14, 30}, "30010601", "3001-06-01,3002-06-01,3003-06-01"},
        {{9999, 6, 1}, {14, 30}, "99990601", "9999-06-01"},
        {{9999, 12, 31}, {}, "99991231", "9999-12-31"},
    };
    const struct
    {
        QString stored;
        const char* read;      // by libical
        const char* readShown; // by the second reader, control characters escaped
    } texts[] = {
        {QStringLiteral("раз\rдва"), "раз\nдва", "раз\\nдва"},
        {QStringLiteral("раз\r\nдва\n"), "раз\nдва\n", "раз\\nдва\\n"},
        {QStringLiteral("a\bb\fc"), "abc", "abc"},
        {QString::fromUtf8("до\0после", 15), "допосле", "допосле"},
        {QStringLiteral("a\001b\177c\037"), "abc", "abc"},
        {QStringLiteral("a\tb; c, d\\"), "a\tb; c, d\\", "a\\tb; c, d\\"},
    };
    std::vector<std::pair<qint64, qint64>> dateIds;
    for (const auto& d : dates)
        dateIds.emplace_back(
            add(QStringLiteral("год"), QStringLiteral("День рождения"), d.date, {}, {}, {}, false, {}),
            add(QStringLiteral("дело"), QStringLiteral("критическое"), d.date, d.time, {}, {}, false, {}));
    std::vector<qint64> textIds;
    for (const auto& t : texts)
        textIds.push_back(add(t.stored, QStringLiteral("разовое"), {}, {}, {}, {}, false, t.stored));

    ASSERT_TRUE(IcsExport::write(openList(), target(), EventUids(diaryId)));
    const QByteArray ics = contents(target());
    // Every line as RFC 5545 allows it: no control character but TAB before its CR LF.
    const auto isControl = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7f;
    };
    for (const QByteArray& line : ics.split('\n'))
        EXPECT_FALSE(std::any_of(line.begin(), line.end() - (line.endsWith('\r') ? 1 : 0), isControl))
            << "a control character in " << line.toStdString();
    std::string timezone;
    const std::map<std::string, Seen> seen = readBack(ics, &timezone);
    const QStringList python = readWithPython(target());
    ASSERT_EQ(python.size(), static_cast<qsizetype>(seen.size()));
    for (std::size_t i = 0; i < std::size(dates); ++i) {
        SCOPED_TRACE(dates[i].day);
        const Seen& birthday = seen.at(uidOf(dateIds[i].first));
        EXPECT_EQ(birthday.start, dates[i].day);
        const bool timed = dates[i].time.isValid();
        EXPECT_EQ(seen.at(uidOf(dateIds[i].second)).due, dates[i].day + std::string(timed ? "T143000" : ""));
        EXPECT_EQ(pythonLine(python, dateIds[i].first),
                  QStringLiteral("VEVENT|День рождения: год|None|%1").arg(QLatin1String(dates[i].occurrences)));
        // The zone's offset in such years is the second reader's own guess.
        const QString day = QString::fromLatin1(dates[i].occurrences).left(10);
        const QString todo = pythonLine(python, dateIds[i].second);
        EXPECT_TRUE(todo.startsWith(timed ? QStringLiteral("VTODO|дело|Europe/Berlin|%1T14:30:00+").arg(day)
                                          : QStringLiteral("VTODO|дело|None|%1").arg(day)))
            << todo.toStdString();
    }
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        SCOPED_TRACE(texts[i].read);
        const Seen& s = seen.at(uidOf(textIds[i]));
        EXPECT_EQ(s.summary, texts[i].read);
        EXPECT_EQ(s.description, texts[i].read);
        EXPECT_EQ(pythonLine(python, textIds[i]),
                  QStringLiteral("VTODO|%1|-|-").arg(QString::fromUtf8(texts[i].readShown)));
    }

    // Where the system's zone is UTC, times are written in UTC: as they are in every year too.
    const ZoneScope utc("UTC");
    ASSERT_TRUE(IcsExport::write(openList(), target(), EventUids(diaryId)));
    EXPECT_EQ(readBack(contents(target()), &timezone).at(uidOf(dateIds[2].second)).due, "30010601T143000Z");
    EXPECT_EQ(pythonLine(readWithPython(target()), dateIds[2].second),
              QStringLiteral("VTODO|дело|UTC|3001-06-01T14:30:00+00:00"));
}

enum class IcsFailure { FolderIsAFile, DiskFull };

class IcsExportFailure : public IcsExportTest, public ::testing::WithParamInterface<IcsFailure>
{
};

// A path under a regular file can't be written even by the superuser; a full disk stops the writing midway.
TEST_P(IcsExportFailure, LeavesTheOldFileAndShowsTheReason)
{
    for (int i = 0; i < 50; ++i)
        add(QStringLiteral("строка %1").arg(i), QStringLiteral("ежедневное"), {2027, 1, 1}, QTime(9, 0), {}, {}, false,
            QString(200, u'ж'));
    RecordSet& set = openList();
    QString path = target();
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    struct rlimit previousLimit
    {
    };
    getrlimit(RLIMIT_FSIZE, &previousLimit);
    auto previousSignal = SIG_DFL;
    if (GetParam() == IcsFailure::FolderIsAFile) {
        path = target() + QStringLiteral("/внутри.ics");
    } else {
        previousSignal = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = previousLimit;
        small.rlim_cur = 2048;
        setrlimit(RLIMIT_FSIZE, &small);
    }

    const IcsExport::Outcome outcome = IcsExport::run(nullptr, set, EventUids(diaryId), choosing(path));

    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousSignal);
    EXPECT_EQ(outcome, IcsExport::Outcome::Failed);
    EXPECT_EQ(contents(target()), QByteArray("old"));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(target()).fileName()});
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_EQ(boxes()[0].icon, MessageBoxes::Icon::Error);
    const QString start = QStringLiteral("Не удалось записать файл «%1»: ").arg(path);
    EXPECT_TRUE(boxes()[0].text.startsWith(start)) << boxes()[0].text.toStdString();
    EXPECT_GT(boxes()[0].text.size(), start.size() + 3) << "the system's reason";
}

INSTANTIATE_TEST_SUITE_P(IcsExport, IcsExportFailure,
                         ::testing::Values(IcsFailure::FolderIsAFile, IcsFailure::DiskFull), [](const auto& info) {
                             return info.param == IcsFailure::FolderIsAFile ? "FolderIsAFile" : "DiskFull";
                         });

TEST_F(IcsExportTest, TheMenuCommandTellsTheFileAndRowsAndCancelWritesNothing)
{
    add(QStringLiteral("одно"), QStringLiteral("ежедневное"), {2027, 1, 1}, QTime(9, 0), {}, {}, false, {});
    RecordSet& set = openList();
    EXPECT_EQ(IcsExport::run(nullptr, set, EventUids(diaryId), choosing(QString())), IcsExport::Outcome::Cancelled);
    EXPECT_FALSE(QFile::exists(target()));
    EXPECT_EQ(IcsExport::run(nullptr, set, EventUids(diaryId), choosing(target())), IcsExport::Outcome::Written);
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_EQ(boxes()[0].text, QStringLiteral("Файл «%1» записан, строк: 1.").arg(target()));
}
