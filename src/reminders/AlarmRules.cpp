#include "reminders/AlarmRules.h"

namespace AlarmRules {

namespace {

using Recurrence = Period::Recurrence;

constexpr int secondsPerDay = 86400;

// A wall time as a plain count of seconds, as if it were UTC: wall times compare and step by it without any zone.
struct Wall
{
    QDate date;
    QTime time;

    QDateTime naive() const { return QDateTime(date, time, Qt::UTC); }
};

QDateTime utcAt(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

Recurrence recurrenceOf(const TimedEvent& event)
{
    if (!event.period)
        return Recurrence::None;
    if (event.period->isYearlyDate())
        return Recurrence::Yearly;
    return event.period->recurrence();
}

int monthsStep(Recurrence recurrence)
{
    return recurrence == Recurrence::Quarterly ? 3 : recurrence == Recurrence::Yearly ? 12 : 1;
}

// The first wall time of the event's alarm not earlier than from; none when there is no such time.
std::optional<QDateTime> firstOnOrAfter(const TimedEvent& event, const QDateTime& from)
{
    const QTime time =
        event.reminderTime ? QTime(event.reminderTime->hour(), event.reminderTime->minute()) : QTime(0, 0);
    const QDate anchor = event.reminderDate.isValid() ? event.reminderDate : event.executionDate;
    const Recurrence recurrence = recurrenceOf(event);
    const bool needsDate = recurrence != Recurrence::Hourly && recurrence != Recurrence::Daily;
    if (needsDate && !anchor.isValid())
        return std::nullopt;
    if (anchor.isValid()) {
        // The first alarm is the one on the date itself.
        const QDateTime first = Wall{anchor, time}.naive();
        if (first >= from)
            return first;
        if (recurrence == Recurrence::None)
            return std::nullopt;
    }
    const QDate day = from.date();
    switch (recurrence) {
    case Recurrence::Hourly: {
        const QDateTime sameHour = Wall{day, QTime(from.time().hour(), time.minute())}.naive();
        return sameHour >= from ? sameHour : sameHour.addSecs(3600);
    }
    case Recurrence::Daily: {
        const QDateTime sameDay = Wall{day, time}.naive();
        return sameDay >= from ? sameDay : sameDay.addDays(1);
    }
    case Recurrence::Weekly: {
        const QDateTime sameWeek = Wall{anchor.addDays(anchor.daysTo(day) / 7 * 7), time}.naive();
        return sameWeek >= from ? sameWeek : sameWeek.addDays(7);
    }
    case Recurrence::Monthly:
    case Recurrence::Quarterly:
    case Recurrence::Yearly: {
        // Each alarm is counted from the date itself, so a 31st comes back on the 31st after a shorter month.
        const int step = monthsStep(recurrence);
        const int months = (day.year() - anchor.year()) * 12 + day.month() - anchor.month();
        const int steps = months / step;
        const QDateTime sameStep = Wall{anchor.addMonths(steps * step), time}.naive();
        return sameStep >= from ? sameStep : Wall{anchor.addMonths((steps + 1) * step), time}.naive();
    }
    case Recurrence::None:
        break;
    }
    return std::nullopt;
}

} // namespace

QDateTime moment(const QDate& date, const QTime& time, const QTimeZone& zone)
{
    const qint64 naive = Wall{date, time}.naive().toSecsSinceEpoch();
    // The offsets a day either side: a wall time is one of them, or falls in the gap between the two.
    const int before = zone.offsetFromUtc(utcAt(naive - secondsPerDay));
    const int after = zone.offsetFromUtc(utcAt(naive + secondsPerDay));
    std::optional<qint64> earliest;
    for (const int offset : {before, after}) {
        const qint64 seconds = naive - offset;
        if (zone.offsetFromUtc(utcAt(seconds)) == offset && (!earliest || seconds < *earliest))
            earliest = seconds;
    }
    if (earliest)
        return utcAt(*earliest);
    // Skipped: the clocks jumped from before the wall time to after it, at the zone's transition.
    const QTimeZone::OffsetData transition = zone.nextTransition(utcAt(naive - std::max(before, after) - 1));
    return transition.atUtc.isValid() ? transition.atUtc.toUTC() : utcAt(naive - std::min(before, after));
}

std::optional<QDateTime> nextAfter(const TimedEvent& event, const QDateTime& after, const QTimeZone& zone)
{
    if (!event.timer || event.done)
        return std::nullopt;
    const QDateTime local = after.toTimeZone(zone);
    QDateTime from = Wall{local.date(), local.time()}.naive();
    // A wall time whose moment is not later than after is passed: a repeated hour's second occurrence, or a
    // skipped time already rung at the skip's end. At most a couple are passed around a daylight-saving shift.
    for (int tries = 0; tries < 8; ++tries) {
        const std::optional<QDateTime> wall = firstOnOrAfter(event, from);
        if (!wall)
            return std::nullopt;
        const QDateTime rings = moment(wall->date(), wall->time(), zone);
        if (rings > after)
            return rings;
        from = wall->addSecs(60);
    }
    return std::nullopt;
}

} // namespace AlarmRules
