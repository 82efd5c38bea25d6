// A periodicity as the diary stores it may be typed in any case. Every part of the program that reads it (the
// tree's lists, the reminder checks, the calendar export) must take it for the same periodicity, or for none.
#include "databind/RecordSet.h"
#include "diary/EventUids.h"
#include "diary/Period.h"
#include "diary/Queries.h"
#include "engine/DiaryFile.h"
#include "engine/Snapshot.h"
#include "export/IcsExport.h"
#include "support/FixedClock.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <libical/ical.h>

#include <map>
#include <optional>

namespace {

const QString allEvents = QStringLiteral("Все мероприятия");

using Kind = Period::Kind;
using Check = ReminderKind;

// One stored text and what each part of the program makes of it.
const struct
{
    const char* stored; // nullptr: null
    std::optional<Kind> period;
    // The nodes of the tree whose lists hold the row.
    QStringList nodes;
    std::optional<Check> reminder;
    // The calendar's component: its kind, its rule and what its summary puts before the event.
    const char* exported;
} cases[] = {
    {"Ежедневное", Kind::Daily, {allEvents, "ежедневное"}, Check::Day, "VTODO|FREQ=DAILY|"},
    {"ЕЖЕЧАСНОЕ", Kind::Hourly, {allEvents, "ежечасное"}, Check::Hour, "VTODO|FREQ=HOURLY|"},
    {"ЕженеДЕЛЬНОЕ", Kind::Weekly, {allEvents, "еженедельное"}, Check::Week, "VTODO|FREQ=WEEKLY|"},
    {"ЕЖЕМЕСЯЧНОЕ", Kind::Monthly, {allEvents, "ежемесячное"}, Check::Month, "VTODO|FREQ=MONTHLY|"},
    {"ежеквартальное", Kind::Quarterly, {allEvents, "ежеквартальное"}, Check::Month, "VTODO|FREQ=MONTHLY;INTERVAL=3|"},
    {"Ежегодное", Kind::Yearly, {allEvents, "ежегодное"}, Check::Month, "VTODO|FREQ=YEARLY|"},
    {"КРИТИЧЕСКОЕ", Kind::Critical, {allEvents, "критическое"}, Check::Critical, "VTODO||"},
    {"день рождения", Kind::Birthday, {"День рождения"}, Check::Birth, "VEVENT|FREQ=YEARLY|День рождения: "},
    {"ДЕНЬ РОЖДЕНИЯ", Kind::Birthday, {"День рождения"}, Check::Birth, "VEVENT|FREQ=YEARLY|День рождения: "},
    {"памятная дата", Kind::MemorableDate, {"Памятная дата"}, Check::Month, "VEVENT|FREQ=YEARLY|"},
    {"ПАМЯТНАЯ Дата", Kind::MemorableDate, {"Памятная дата"}, Check::Month, "VEVENT|FREQ=YEARLY|"},
    // Only case is set aside: another word, "ё" for "е" or a blank more make another periodicity.
    {"ежедневно", {}, {allEvents}, {}, "VTODO||"},
    {"ёжечасное", {}, {allEvents}, {}, "VTODO||"},
    {"ежедневное ", {}, {allEvents}, {}, "VTODO||"},
    {"", {}, {allEvents}, {}, "VTODO||"},
    // A row posted without a periodicity is still one of all the events.
    {nullptr, {}, {allEvents}, {}, "VTODO||"},
};

QVariant storedValue(const char* stored)
{
    return stored ? QVariant(QString::fromUtf8(stored)) : QVariant();
}

QString jobOf(std::size_t row)
{
    return QStringLiteral("событие %1").arg(row + 10);
}

std::string text(const char* value)
{
    return value ? value : "";
}

// Each component of a calendar as kind|rule|summary.
QStringList componentsOf(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    icalcomponent* calendar = icalparser_parse_string(file.readAll().constData());
    QStringList seen;
    for (icalcomponent* c = calendar ? icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT) : nullptr; c;
         c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
        const icalcomponent_kind kind = icalcomponent_isa(c);
        if (kind != ICAL_VEVENT_COMPONENT && kind != ICAL_VTODO_COMPONENT)
            continue;
        std::string rule;
        if (icalproperty* property = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY)) {
            icalrecurrencetype recurrence = icalproperty_get_rrule(property);
            rule = text(icalrecurrencetype_as_string(&recurrence));
        }
        seen << QString::fromStdString((kind == ICAL_VEVENT_COMPONENT ? "VEVENT|" : "VTODO|") + rule + '|' +
                                       text(icalcomponent_get_summary(c)));
    }
    if (calendar)
        icalcomponent_free(calendar);
    return seen;
}

class PeriodTexts : public ::testing::TestWithParam<DiaryKind>
{
protected:
    DiaryFile diary{GetParam()};
};

} // namespace

TEST_P(PeriodTexts, AreTakenForTheSamePeriodicityWhateverTheirCaseByTheListsTheRemindersAndTheExport)
{
    // Every row has its reminder window open today, by the month's, the quarter's and the year's days, so that only
    // its periodicity decides which check finds it.
    for (std::size_t row = 0; row < std::size(cases); ++row)
        diary.add({jobOf(row), storedValue(cases[row].stored), QDate(1980, 12, 9), QDate(2026, 12, 1), false, {}});
    const FixedClock clock(QDateTime(QDate(2026, 12, 7), QTime(12, 0)));
    const auto connection = diary.connect();
    const auto jobs = [&](const QStringList& query, const QList<QVariant>& parameters = {}) {
        const auto snapshot = connection->select(engineText(query), parameters);
        QStringList listed;
        for (int row = 0; row < snapshot->rowCount(); ++row)
            listed << snapshot->value(row, snapshot->columnIndex(QStringLiteral("job"))).toString();
        return listed;
    };

    // The tree's lists, as the data module opens them for each node.
    std::map<QString, QStringList> nodeLists{{allEvents, jobs({Queries::jobListAll()})}};
    for (const Period& period : Period::all())
        nodeLists[period.text()] = jobs(Queries::jobListForPeriod(), {period.text()});
    const std::pair<Check, QStringList> reminderSets[] = {
        {Check::Hour, jobs(Queries::jobHour())},   {Check::Day, jobs(Queries::jobDay())},
        {Check::Week, jobs(Queries::jobWeek())},   {Check::Birth, jobs(Queries::birthdays())},
        {Check::Month, jobs(Queries::jobMonth())}, {Check::Critical, jobs(Queries::jobCritik())},
    };

    RecordSet list(QStringLiteral("QJob"), *connection);
    list.setSql({QStringLiteral("select * from job order by id_job")});
    list.open();
    const QTemporaryDir out;
    const QString calendar = out.filePath(QStringLiteral("дневник.ics"));
    ASSERT_TRUE(IcsExport::write(list, calendar, EventUids(diary.path())));
    const QStringList components = componentsOf(calendar);
    ASSERT_EQ(components.size(), static_cast<qsizetype>(std::size(cases)));

    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const auto& c = cases[row];
        const QString job = jobOf(row);
        SCOPED_TRACE(c.stored ? '"' + std::string(c.stored) + '"' : std::string("null"));

        const std::optional<Period> period = Period::fromStored(storedValue(c.stored).toString());
        EXPECT_EQ(period ? std::optional(period->kind()) : std::nullopt, c.period);
        EXPECT_EQ(period ? period->reminderKind() : std::nullopt, c.reminder);

        QStringList nodes;
        for (const auto& [node, listed] : nodeLists)
            if (listed.contains(job))
                nodes << node;
        QStringList expectedNodes = c.nodes;
        expectedNodes.sort();
        EXPECT_EQ(nodes, expectedNodes);

        std::optional<Check> reminder;
        for (const auto& [kind, selected] : reminderSets) {
            if (!selected.contains(job))
                continue;
            EXPECT_FALSE(reminder) << "selected by two checks";
            reminder = kind;
        }
        EXPECT_EQ(reminder, c.reminder);

        const QString exported = QString::fromUtf8(c.exported) + job;
        EXPECT_TRUE(components.contains(exported)) << exported.toStdString() << " not in\n"
                                                   << components.join(u'\n').toStdString();
    }

    // The comparison lives in the program's query texts, not in the table: a stock client edits the diary as it is.
    EXPECT_NO_THROW(diary.execute("UPDATE job SET period = 'ежедневное' WHERE period = 'ежедневно'"));
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM job WHERE period = 'ежедневное'"), QStringLiteral("1"));
}

INSTANTIATE_TEST_SUITE_P(Diaries, PeriodTexts, bothDiaryKinds(), diaryKindName);
