#include "settings/TimerIntervals.h"

#include "platform/BootClockTimer.h"

void TimerIntervals::apply(BootClockTimer& timer, qint32 minutes)
{
    Q_ASSERT(inRange(minutes));
    const int milliseconds = minutes * millisecondsPerMinute;
    // A running timer with an interval of 0 would fire on every pass of the event loop.
    if (milliseconds == 0) {
        timer.stop();
        timer.setInterval(0);
        return;
    }
    if (timer.isActive() && timer.interval() == milliseconds)
        return;
    timer.start(milliseconds);
}

void TimerIntervals::apply(const Timers& timers, const Minutes& minutes)
{
    for (int i = 0; i < count; ++i)
        if (timers[i])
            apply(*timers[i], minutes[i]);
}

void TimerIntervals::apply(const Timers& timers, const StoredMinutes& minutes)
{
    for (int i = 0; i < count; ++i)
        if (timers[i] && minutes[i])
            apply(*timers[i], *minutes[i]);
}

TimerIntervals::Minutes TimerIntervals::minutesOf(const Timers& timers)
{
    Minutes minutes{};
    for (std::size_t i = 0; i < timers.size(); ++i)
        minutes[i] = timers[i] ? timers[i]->interval() / millisecondsPerMinute : 0;
    return minutes;
}
