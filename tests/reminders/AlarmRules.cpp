#include "reminders/AlarmRules.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using Kind = Period::Kind;

struct Case
{
    const char* name;
    std::optional<Kind> period;
    QDate reminderDate;
    std::optional<QTime> reminderTime;
    QDate executionDate;
    const char* zone;
    // The span walked, as wall times of the zone.
    QDateTime from;
    QDateTime to;
    // Every moment the alarm rings in the span, in UTC: each one exactly once.
    QStringList rings;
    bool timer = true;
    bool done = false;
};

QDateTime at(int year, int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

const Case cases[] = {
    {"HourlyWithoutADateEveryHourAtItsMinute", Kind::Hourly, {}, QTime(9, 30), {}, "Europe/Moscow", at(2026, 3, 12, 14, 5),
     at(2026, 3, 12, 17), {"2026-03-12T11:30:00Z", "2026-03-12T12:30:00Z", "2026-03-12T13:30:00Z"}},
    {"HourlyWithoutATimeOnTheHour", Kind::Hourly, {}, {}, {}, "Europe/Moscow", at(2026, 3, 12, 14, 5),
     at(2026, 3, 12, 16, 30), {"2026-03-12T12:00:00Z", "2026-03-12T13:00:00Z"}},
    {"DailyFromItsDateOn", Kind::Daily, QDate(2026, 3, 13), QTime(9, 30), {}, "Europe/Moscow", at(2026, 3, 12, 0),
     at(2026, 3, 15, 0), {"2026-03-13T06:30:00Z", "2026-03-14T06:30:00Z"}},
    {"DailyAtTheVeryMinuteOfTheStartIsNotRungAgain", Kind::Daily, {}, QTime(9, 30), {}, "Europe/Moscow",
     at(2026, 3, 12, 9, 30), at(2026, 3, 13, 12), {"2026-03-13T06:30:00Z"}},
    {"WeeklyOnTheWeekdayOfItsDate", Kind::Weekly, QDate(2026, 3, 10), QTime(8, 0), {}, "Europe/Moscow",
     at(2026, 3, 11, 0), at(2026, 3, 25, 0), {"2026-03-17T05:00:00Z", "2026-03-24T05:00:00Z"}},
    {"WeeklyWithoutAnyDateNever", Kind::Weekly, {}, QTime(8, 0), {}, "Europe/Moscow", at(2026, 3, 1, 0),
     at(2026, 4, 1, 0), {}},
    {"MonthlyOnTheLastDayOfShorterMonths", Kind::Monthly, QDate(2026, 1, 31), QTime(10, 0), {}, "Europe/Moscow",
     at(2026, 1, 30, 0), at(2026, 5, 1, 0),
     {"2026-01-31T07:00:00Z", "2026-02-28T07:00:00Z", "2026-03-31T07:00:00Z", "2026-04-30T07:00:00Z"}},
    {"MonthlyFromTheExecutionDateWithoutAReminderDate", Kind::Monthly, {}, QTime(10, 0), QDate(2026, 1, 15),
     "Europe/Moscow", at(2026, 2, 1, 0), at(2026, 4, 1, 0), {"2026-02-15T07:00:00Z", "2026-03-15T07:00:00Z"}},
    {"QuarterlyEveryThreeMonthsFromItsDate", Kind::Quarterly, QDate(2025, 11, 30), QTime(12, 0), {}, "Europe/Moscow",
     at(2025, 11, 1, 0), at(2026, 6, 1, 0),
     {"2025-11-30T09:00:00Z", "2026-02-28T09:00:00Z", "2026-05-30T09:00:00Z"}},
    {"YearlyOn29FebruaryOnThe28thInOtherYears", Kind::Yearly, QDate(2024, 2, 29), QTime(9, 0), {}, "Europe/Moscow",
     at(2024, 1, 1, 0), at(2028, 12, 31, 0),
     {"2024-02-29T06:00:00Z", "2025-02-28T06:00:00Z", "2026-02-28T06:00:00Z", "2027-02-28T06:00:00Z",
      "2028-02-29T06:00:00Z"}},
    {"MemorableDateEveryYear", Kind::MemorableDate, QDate(2020, 6, 12), QTime(9, 0), {}, "Europe/Moscow",
     at(2025, 1, 1, 0), at(2026, 12, 31, 0), {"2025-06-12T06:00:00Z", "2026-06-12T06:00:00Z"}},
    {"BirthdayEveryYearOnItsReminderDate", Kind::Birthday, QDate(2026, 5, 10), QTime(9, 0), QDate(1980, 5, 20),
     "Europe/Moscow", at(2026, 1, 1, 0), at(2027, 12, 31, 0), {"2026-05-10T06:00:00Z", "2027-05-10T06:00:00Z"}},
    {"CriticalOnceAtItsDate", Kind::Critical, QDate(2026, 3, 13), QTime(8, 0), {}, "Europe/Moscow", at(2026, 3, 1, 0),
     at(2027, 3, 1, 0), {"2026-03-13T05:00:00Z"}},
    {"CriticalWithoutATimeAsItsDayBegins", Kind::Critical, QDate(2026, 3, 13), {}, {}, "Europe/Moscow",
     at(2026, 3, 1, 0), at(2027, 3, 1, 0), {"2026-03-12T21:00:00Z"}},
    {"UnknownPeriodicityOnce", std::nullopt, QDate(2026, 3, 13), QTime(8, 0), {}, "Europe/Moscow", at(2026, 3, 1, 0),
     at(2027, 3, 1, 0), {"2026-03-13T05:00:00Z"}},
    {"CriticalInThePastNever", Kind::Critical, QDate(2026, 3, 11), QTime(8, 0), {}, "Europe/Moscow",
     at(2026, 3, 12, 0), at(2027, 3, 1, 0), {}},
    {"DoneNever", Kind::Daily, {}, QTime(9, 30), {}, "Europe/Moscow", at(2026, 3, 12, 0), at(2026, 3, 20, 0), {},
     true, true},
    {"WithoutTheTimerNever", Kind::Daily, {}, QTime(9, 30), {}, "Europe/Moscow", at(2026, 3, 12, 0),
     at(2026, 3, 20, 0), {}, false},
    // Berlin: 29.03.2026 02:00 CET becomes 03:00 CEST; 25.10.2026 03:00 CEST becomes 02:00 CET.
    {"BerlinSkippedHourRingsAsTheSkipEnds", Kind::Daily, {}, QTime(2, 30), {}, "Europe/Berlin", at(2026, 3, 28, 12),
     at(2026, 3, 30, 12), {"2026-03-29T01:00:00Z", "2026-03-30T00:30:00Z"}},
    {"BerlinRepeatedHourRingsOnce", Kind::Daily, {}, QTime(2, 30), {}, "Europe/Berlin", at(2026, 10, 24, 12),
     at(2026, 10, 26, 12), {"2026-10-25T00:30:00Z", "2026-10-26T01:30:00Z"}},
    {"BerlinHourlyAcrossTheRepeatedHour", Kind::Hourly, {}, QTime(0, 30), {}, "Europe/Berlin", at(2026, 10, 25, 1),
     at(2026, 10, 25, 4),
     {"2026-10-24T23:30:00Z", "2026-10-25T00:30:00Z", "2026-10-25T02:30:00Z"}},
    {"BerlinHourlyAcrossTheSkippedHour", Kind::Hourly, {}, QTime(0, 30), {}, "Europe/Berlin", at(2026, 3, 29, 1),
     at(2026, 3, 29, 4, 45), {"2026-03-29T00:30:00Z", "2026-03-29T01:00:00Z", "2026-03-29T01:30:00Z",
                              "2026-03-29T02:30:00Z"}},
    // Moscow kept summer time until 2011: 28.03.2010 02:00 MSK became 03:00 MSD, 31.10.2010 03:00 MSD became 02:00.
    {"MoscowPastSkippedHour", Kind::Daily, {}, QTime(2, 15), {}, "Europe/Moscow", at(2010, 3, 27, 12),
     at(2010, 3, 29, 12), {"2010-03-27T23:00:00Z", "2010-03-28T22:15:00Z"}},
    {"MoscowPastRepeatedHour", Kind::Daily, {}, QTime(2, 15), {}, "Europe/Moscow", at(2010, 10, 30, 12),
     at(2010, 11, 1, 12), {"2010-10-30T22:15:00Z", "2010-10-31T23:15:00Z"}},
};

class AlarmRulesTest : public ::testing::TestWithParam<Case>
{
};

} // namespace

TEST_P(AlarmRulesTest, RingsAtEachMomentOnce)
{
    const Case& c = GetParam();
    const QTimeZone zone(c.zone);
    ASSERT_TRUE(zone.isValid());
    TimedEvent event;
    event.period = c.period ? std::optional(Period(*c.period)) : std::nullopt;
    event.timer = c.timer;
    event.done = c.done;
    event.reminderDate = c.reminderDate;
    event.reminderTime = c.reminderTime;
    event.executionDate = c.executionDate;

    const QDateTime to = QDateTime(c.to.date(), c.to.time(), zone);
    QStringList rings;
    QDateTime after = QDateTime(c.from.date(), c.from.time(), zone);
    while (const std::optional<QDateTime> next = AlarmRules::nextAfter(event, after, zone)) {
        ASSERT_GT(*next, after);
        if (*next > to)
            break;
        rings << next->toUTC().toString(Qt::ISODate);
        after = *next;
    }
    EXPECT_EQ(rings, c.rings);
}

INSTANTIATE_TEST_SUITE_P(Alarms, AlarmRulesTest, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });
