#include "DiaryFile.h"
#include "diary/Queries.h"
#include "engine/Snapshot.h"
#include "support/FixedClock.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

class MonthWindow : public ::testing::TestWithParam<DiaryKind>
{
protected:
    // Whether the monthly check finds one row of that periodicity, window and done flag on the given day.
    bool dueOn(const char* period, QDate shed, QDate isp, bool done, QDate today)
    {
        diary.execute("DELETE FROM job");
        diary.add({QStringLiteral("событие"), QString::fromUtf8(period), isp, shed, done, {}});
        const FixedClock clock(QDateTime(today, QTime(9, 15)));
        return connection->select(engineText(Queries::jobMonth()), {})->rowCount() == 1;
    }

    DiaryFile diary{GetParam()};
    std::unique_ptr<Connection> connection = diary.connect();
};

} // namespace

// Periodicities in odd case, as a user may type them: the check finds them as the others find theirs.
TEST_P(MonthWindow, HoldsTodayByTheDayOfTheMonthTheMonthInTheQuarterOrTheMonthAndDayOfTheYear)
{
    const struct
    {
        const char* period;
        QDate shed;
        QDate isp;
        bool done;
        QDate today;
        bool due;
    } cases[] = {
        // Monthly: the day of the month alone, in any month of any year.
        {"ЕЖЕМЕСЯЧНОЕ", {2020, 1, 10}, {2020, 1, 15}, false, {2026, 7, 12}, true},
        {"ежемесячное", {2020, 1, 10}, {2020, 1, 15}, false, {2026, 7, 9}, false},
        {"ежемесячное", {2020, 1, 10}, {2020, 1, 15}, false, {2026, 7, 16}, false},
        {"ежемесячное", {2020, 1, 10}, {2020, 1, 15}, true, {2026, 7, 12}, false},
        // Across the month's end.
        {"Ежемесячное", {2020, 1, 28}, {2020, 2, 3}, false, {2026, 7, 31}, true},
        {"ежемесячное", {2020, 1, 28}, {2020, 2, 3}, false, {2026, 8, 2}, true},
        {"ежемесячное", {2020, 1, 28}, {2020, 2, 3}, false, {2026, 8, 4}, false},
        // A day the month lacks is its last day; the 31st is no day of a shorter month otherwise.
        {"ежемесячное", {2020, 1, 31}, {2020, 1, 31}, false, {2026, 4, 30}, true},
        {"ежемесячное", {2020, 1, 31}, {2020, 1, 31}, false, {2026, 2, 28}, true},
        {"ежемесячное", {2020, 1, 31}, {2020, 1, 31}, false, {2028, 2, 28}, false},
        {"ежемесячное", {2020, 1, 31}, {2020, 1, 31}, false, {2028, 2, 29}, true},
        {"ежемесячное", {2020, 1, 31}, {2020, 1, 31}, false, {2026, 5, 30}, false},
        // Quarterly: the month within the quarter and the day.
        {"ЕЖЕКВАРТАЛЬНОЕ", {2020, 1, 20}, {2020, 2, 5}, false, {2026, 4, 25}, true},
        {"ежеквартальное", {2020, 1, 20}, {2020, 2, 5}, false, {2026, 11, 3}, true},
        {"ежеквартальное", {2020, 1, 20}, {2020, 2, 5}, false, {2026, 12, 1}, false},
        {"ежеквартальное", {2020, 1, 20}, {2020, 2, 5}, false, {2026, 7, 19}, false},
        // Across the quarter's end, and the 31st of a quarter's first month in a 30-day April.
        {"ежеквартальное", {2020, 3, 25}, {2020, 4, 5}, false, {2026, 7, 2}, true},
        {"ежеквартальное", {2020, 3, 25}, {2020, 4, 5}, false, {2026, 9, 28}, true},
        {"ежеквартальное", {2020, 3, 25}, {2020, 4, 5}, false, {2026, 8, 28}, false},
        {"ежеквартальное", {2020, 1, 31}, {2020, 1, 31}, false, {2026, 4, 30}, true},
        {"ежеквартальное", {2020, 1, 31}, {2020, 1, 31}, false, {2026, 5, 30}, false},
        // Yearly: month and day, across the new year as the birthday window.
        {"ЕЖЕГОДНОЕ", {2020, 12, 20}, {2021, 1, 10}, false, {2026, 12, 25}, true},
        {"ежегодное", {2020, 12, 20}, {2021, 1, 10}, false, {2027, 1, 5}, true},
        {"ежегодное", {2020, 12, 20}, {2021, 1, 10}, false, {2026, 6, 25}, false},
        {"ежегодное", {2020, 12, 20}, {2021, 1, 10}, true, {2026, 12, 25}, false},
        // No window: a duty not yet done is due at every check.
        {"ежегодное", {}, {2020, 3, 1}, false, {2026, 9, 9}, true},
        {"ежемесячное", {}, {}, false, {2026, 9, 9}, true},
        {"ежеквартальное", {}, {2020, 3, 1}, true, {2026, 9, 9}, false},
        // A window with no end is the day of its start.
        {"ежемесячное", {2020, 3, 9}, {}, false, {2026, 9, 9}, true},
        {"ежемесячное", {2020, 3, 9}, {}, false, {2026, 9, 10}, false},
        // Memorable dates: by month and day, done or not; without a window on their own day.
        {"ПАМЯТНАЯ ДАТА", {2020, 6, 1}, {1995, 6, 12}, false, {2026, 6, 5}, true},
        {"Памятная дата", {2020, 6, 1}, {1995, 6, 12}, true, {2026, 6, 12}, true},
        {"памятная дата", {2020, 6, 1}, {1995, 6, 12}, false, {2026, 6, 13}, false},
        {"памятная дата", {}, {1995, 6, 12}, false, {2026, 6, 12}, true},
        {"памятная дата", {}, {1995, 6, 12}, false, {2026, 6, 11}, false},
        {"памятная дата", {}, {}, false, {2026, 6, 12}, false},
        {"памятная дата", {2020, 2, 29}, {2000, 2, 29}, false, {2027, 2, 28}, true},
        // Not the monthly check's.
        {"День рождения", {2020, 6, 1}, {1995, 6, 12}, false, {2026, 6, 5}, false},
        {"ежедневное", {}, {}, false, {2026, 6, 5}, false},
        {"критическое", {}, {}, false, {2026, 6, 5}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dueOn(c.period, c.shed, c.isp, c.done, c.today), c.due)
            << c.period << " " << c.shed.toString(Qt::ISODate).toStdString() << " .. "
            << c.isp.toString(Qt::ISODate).toStdString() << (c.done ? " done" : "") << " on "
            << c.today.toString(Qt::ISODate).toStdString();
    }
}

// The critical check, and the alarm reminder's list of the events whose alarm rang, by id.
TEST_P(MonthWindow, TheCriticalCheckAndTheAlarmListFindOnlyEventsNotYetDone)
{
    const qint64 burning = diary.add({QStringLiteral("горит"), QStringLiteral("КРИТИЧЕСКОЕ"), {}, {}, false, {}});
    const qint64 putOut = diary.add({QStringLiteral("потушено"), QStringLiteral("критическое"), {}, {}, true, {}});
    const qint64 hourly = diary.add({QStringLiteral("ежечасное"), QStringLiteral("ежечасное"), {}, {}, false, {}});
    const struct
    {
        QStringList query;
        QStringList jobs;
    } cases[] = {
        {Queries::jobCritik(), {QStringLiteral("горит")}},
        {Queries::alarms({hourly, putOut, burning}), {QStringLiteral("горит"), QStringLiteral("ежечасное")}},
        {Queries::alarms({putOut}), {}},
        {Queries::alarms({}), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query.join(u' ').toStdString());
        const auto snapshot = connection->select(engineText(c.query), {});
        QStringList jobs;
        for (int row = 0; row < snapshot->rowCount(); ++row)
            jobs << snapshot->value(row, snapshot->columnIndex(QStringLiteral("job"))).toString();
        jobs.sort();
        EXPECT_EQ(jobs, c.jobs);
    }
}

INSTANTIATE_TEST_SUITE_P(Diaries, MonthWindow, bothDiaryKinds(), diaryKindName);
