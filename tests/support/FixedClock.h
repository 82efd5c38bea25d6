#pragma once

#include "base/Clock.h"

// Fixes the program's clock for the lifetime of the object.
class FixedClock
{
public:
    explicit FixedClock(const QDateTime& moment) { Clock::setFixed(moment); }
    ~FixedClock() { Clock::reset(); }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;
    void set(const QDateTime& moment) { Clock::setFixed(moment); }
};
