#pragma once

#include "diary/Period.h"

#include <QDate>
#include <QTime>

#include <optional>

// What an event's own alarm is planned from: the row's periodicity, its "Включить таймер" and done flags, and the
// reminder's date and time of day as the panel edits them.
struct TimedEvent
{
    qint64 id = 0;
    // None for a periodicity the program doesn't know, or none at all.
    std::optional<Period> period;
    bool timer = false;
    bool done = false;
    QDate reminderDate;
    std::optional<QTime> reminderTime;
    QDate executionDate;
};
