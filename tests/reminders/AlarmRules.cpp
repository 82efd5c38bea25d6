#include "reminders/AlarmRules.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using Kind = Period::Kind;

// Moments as wall times of the case's zone, "dd.MM.yyyy hh:mm"; a reminder's date or time may be left out.
struct Case
{
    const char* name;
    std::optional<Kind> period;
    const char* reminder;
    const char* executionDate;
    const char* zone;
    // The span walked.
    const char* from;
    const char* to;
    // Every moment the alarm rings in the span, in UTC, blank-separated: each one exactly once.
    const char* rings;
    bool timer = true;
    bool done = false;
};

const Case cases[] = {
    {"HourlyWithoutADateEveryHourAtItsMinute", Kind::Hourly, "09:30", "", "Europe/Moscow", "12.03.2026 14:05",
     "12.03.2026 17:00", "2026-03-12T11:30:00Z 2026-03-12T12:30:00Z 2026-03-12T13:30:00Z"},
    {"HourlyWithoutATimeOnTheHour", Kind::Hourly, "", "", "Europe/Moscow", "12.03.2026 14:05", "12.03.2026 16:30",
     "2026-03-12T12:00:00Z 2026-03-12T13:00:00Z"},
    {"DailyFromItsDateOn", Kind::Daily, "13.03.2026 09:30", "", "Europe/Moscow", "12.03.2026 00:00", "15.03.2026 00:00",
     "2026-03-13T06:30:00Z 2026-03-14T06:30:00Z"},
    {"DailyAtTheVeryMinuteOfTheStartIsNotRungAgain", Kind::Daily, "09:30", "", "Europe/Moscow", "12.03.2026 09:30",
     "13.03.2026 12:00", "2026-03-13T06:30:00Z"},
    {"WeeklyOnTheWeekdayOfItsDate", Kind::Weekly, "10.03.2026 08:00", "", "Europe/Moscow", "11.03.2026 00:00",
     "25.03.2026 00:00", "2026-03-17T05:00:00Z 2026-03-24T05:00:00Z"},
    {"WeeklyWithoutAnyDateNever", Kind::Weekly, "08:00", "", "Europe/Moscow", "01.03.2026 00:00", "01.04.2026 00:00",
     ""},
    {"MonthlyOnTheLastDayOfShorterMonths", Kind::Monthly, "31.01.2026 10:00", "", "Europe/Moscow", "30.01.2026 00:00",
     "01.05.2026 00:00", "2026-01-31T07:00:00Z 2026-02-28T07:00:00Z 2026-03-31T07:00:00Z 2026-04-30T07:00:00Z"},
    {"MonthlyFromTheExecutionDateWithoutAReminderDate", Kind::Monthly, "10:00", "15.01.2026", "Europe/Moscow",
     "01.02.2026 00:00", "01.04.2026 00:00", "2026-02-15T07:00:00Z 2026-03-15T07:00:00Z"},
    {"QuarterlyEveryThreeMonthsFromItsDate", Kind::Quarterly, "30.11.2025 12:00", "", "Europe/Moscow",
     "01.11.2025 00:00", "01.06.2026 00:00", "2025-11-30T09:00:00Z 2026-02-28T09:00:00Z 2026-05-30T09:00:00Z"},
    {"YearlyOn29FebruaryOnThe28thInOtherYears", Kind::Yearly, "29.02.2024 09:00", "", "Europe/Moscow",
     "01.01.2024 00:00", "31.12.2028 00:00",
     "2024-02-29T06:00:00Z 2025-02-28T06:00:00Z 2026-02-28T06:00:00Z 2027-02-28T06:00:00Z 2028-02-29T06:00:00Z"},
    {"MemorableDateEveryYear", Kind::MemorableDate, "12.06.2020 09:00", "", "Europe/Moscow", "01.01.2025 00:00",
     "31.12.2026 00:00", "2025-06-12T06:00:00Z 2026-06-12T06:00:00Z"},
    {"BirthdayEveryYearOnItsReminderDate", Kind::Birthday, "10.05.2026 09:00", "20.05.1980", "Europe/Moscow",
     "01.01.2026 00:00", "31.12.2027 00:00", "2026-05-10T06:00:00Z 2027-05-10T06:00:00Z"},
    {"CriticalOnceAtItsDate", Kind::Critical, "13.03.2026 08:00", "", "Europe/Moscow", "01.03.2026 00:00",
     "01.03.2027 00:00", "2026-03-13T05:00:00Z"},
    {"CriticalWithoutATimeAsItsDayBegins", Kind::Critical, "13.03.2026", "", "Europe/Moscow", "01.03.2026 00:00",
     "01.03.2027 00:00", "2026-03-12T21:00:00Z"},
    {"UnknownPeriodicityOnce", std::nullopt, "13.03.2026 08:00", "", "Europe/Moscow", "01.03.2026 00:00",
     "01.03.2027 00:00", "2026-03-13T05:00:00Z"},
    {"CriticalInThePastNever", Kind::Critical, "11.03.2026 08:00", "", "Europe/Moscow", "12.03.2026 00:00",
     "01.03.2027 00:00", ""},
    {"DoneNever", Kind::Daily, "09:30", "", "Europe/Moscow", "12.03.2026 00:00", "20.03.2026 00:00", "", true, true},
    {"WithoutTheTimerNever", Kind::Daily, "09:30", "", "Europe/Moscow", "12.03.2026 00:00", "20.03.2026 00:00", "",
     false},
    // Berlin: 29.03.2026 02:00 CET becomes 03:00 CEST; 25.10.2026 03:00 CEST becomes 02:00 CET.
    {"BerlinSkippedHourRingsAsTheSkipEnds", Kind::Daily, "02:30", "", "Europe/Berlin", "28.03.2026 12:00",
     "30.03.2026 12:00", "2026-03-29T01:00:00Z 2026-03-30T00:30:00Z"},
    {"BerlinRepeatedHourRingsOnce", Kind::Daily, "02:30", "", "Europe/Berlin", "24.10.2026 12:00", "26.10.2026 12:00",
     "2026-10-25T00:30:00Z 2026-10-26T01:30:00Z"},
    {"BerlinHourlyAcrossTheRepeatedHour", Kind::Hourly, "00:30", "", "Europe/Berlin", "25.10.2026 01:00",
     "25.10.2026 04:00", "2026-10-24T23:30:00Z 2026-10-25T00:30:00Z 2026-10-25T02:30:00Z"},
    {"BerlinHourlyAcrossTheSkippedHour", Kind::Hourly, "00:30", "", "Europe/Berlin", "29.03.2026 01:00",
     "29.03.2026 04:45", "2026-03-29T00:30:00Z 2026-03-29T01:00:00Z 2026-03-29T01:30:00Z 2026-03-29T02:30:00Z"},
    // Moscow kept summer time until 2011: 28.03.2010 02:00 MSK became 03:00 MSD, 31.10.2010 03:00 MSD became 02:00.
    {"MoscowPastSkippedHour", Kind::Daily, "02:15", "", "Europe/Moscow", "27.03.2010 12:00", "29.03.2010 12:00",
     "2010-03-27T23:00:00Z 2010-03-28T22:15:00Z"},
    {"MoscowPastRepeatedHour", Kind::Daily, "02:15", "", "Europe/Moscow", "30.10.2010 12:00", "01.11.2010 12:00",
     "2010-10-30T22:15:00Z 2010-10-31T23:15:00Z"},
};

QDateTime wall(const char* text, const QTimeZone& zone)
{
    const QDateTime plain = QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("dd.MM.yyyy hh:mm"));
    return QDateTime(plain.date(), plain.time(), zone);
}

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
    for (const QString& part : QString::fromLatin1(c.reminder).split(u' ', Qt::SkipEmptyParts)) {
        if (part.contains(u':'))
            event.reminderTime = QTime::fromString(part, QStringLiteral("hh:mm"));
        else
            event.reminderDate = QDate::fromString(part, QStringLiteral("dd.MM.yyyy"));
    }
    event.executionDate = QDate::fromString(QString::fromLatin1(c.executionDate), QStringLiteral("dd.MM.yyyy"));

    const QDateTime to = wall(c.to, zone);
    QStringList rings;
    QDateTime after = wall(c.from, zone);
    while (const std::optional<QDateTime> next = AlarmRules::nextAfter(event, after, zone)) {
        ASSERT_GT(*next, after);
        if (*next > to)
            break;
        rings << next->toUTC().toString(Qt::ISODate);
        after = *next;
    }
    EXPECT_EQ(rings, QString::fromLatin1(c.rings).split(u' ', Qt::SkipEmptyParts));
}

INSTANTIATE_TEST_SUITE_P(Alarms, AlarmRulesTest, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });
