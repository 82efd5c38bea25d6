#pragma once

#include <QtGlobal>

#include <array>
#include <optional>

class BootClockTimer;

// The six reminder timers of the main window as the settings see them: whole minutes, in the order of the settings
// file (hourly, daily, weekly, monthly, critical, birthday).
class TimerIntervals
{
public:
    static constexpr int count = 6;
    // The largest whole number of minutes whose milliseconds still fit a timer's interval.
    static constexpr qint32 maxMinutes = 35791;
    static constexpr int millisecondsPerMinute = 60000;
    // What the timers run with when no settings say otherwise; the critical timer ticks every second.
    static constexpr std::array<int, count> builtInMilliseconds = {600000, 3600000, 10800000, 21600000, 1000, 7200000};

    using Timers = std::array<BootClockTimer*, count>;
    using Minutes = std::array<qint32, count>;
    // A value the settings file holds and the timers can take; the others are left out.
    using StoredMinutes = std::array<std::optional<qint32>, count>;

    static bool inRange(qint64 minutes) { return minutes >= 0 && minutes <= maxMinutes; }

    // 0 stops the timer; the interval it already runs with leaves its countdown alone; another one restarts it.
    static void apply(BootClockTimer& timer, qint32 minutes);
    // Timers that are null or values that are absent are skipped.
    static void apply(const Timers& timers, const Minutes& minutes);
    static void apply(const Timers& timers, const StoredMinutes& minutes);
    // The whole minutes each timer's interval holds (the critical timer's second is 0); 0 for a null timer.
    static Minutes minutesOf(const Timers& timers);
};
