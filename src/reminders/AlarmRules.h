#pragma once

#include "diary/TimedEvent.h"

#include <QDateTime>
#include <QTimeZone>

#include <optional>

// When an event's own alarm rings. An alarm is a time on the wall clock of a time zone: its date and time of day
// are kept as the user set them and made a moment only in that zone, so that a change of the zone or of daylight
// saving moves the moment, not the wall time.
//
// The wall times, at the reminder's time of day (midnight without one: the alarm then rings as its day begins,
// or at the program's first run that day):
//   - hourly: every hour at that minute; daily: every day; weekly: on the weekday of its date; monthly: on the day
//     of the month of its date, the month's last day when the month is shorter; quarterly: the same every three
//     months; yearly, birthdays and memorable dates: every year on the date's day and month, 29 February on the
//     28th in other years;
//   - critical, or a periodicity the program doesn't know: once, on its date.
// The date is the reminder's date, else the date of execution. A recurring alarm rings from that date on; hourly
// and daily ones ring without a date too, the others need one. Without "Включить таймер", or once done, none rings.
//
// A wall time the clocks skip (spring forward) rings at the moment the skip ends; one they repeat (fall back)
// rings at its first occurrence only.
namespace AlarmRules {

// The first moment an alarm of the event rings that is strictly later than after; none when it never rings again.
std::optional<QDateTime> nextAfter(const TimedEvent& event, const QDateTime& after, const QTimeZone& zone);

// The moment a wall time of the zone stands for, skipped and repeated ones as said above.
QDateTime moment(const QDate& date, const QTime& time, const QTimeZone& zone);

} // namespace AlarmRules
