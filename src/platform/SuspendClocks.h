#pragma once

#include <QtGlobal>

// The two clocks a suspend tells apart: the boot clock goes on counting while the machine sleeps, the monotonic
// clock (the one Qt's timers count on) stands still.
class SuspendClocks
{
public:
    virtual ~SuspendClocks() = default;

    virtual qint64 bootMilliseconds() const = 0;
    virtual qint64 monotonicMilliseconds() const = 0;

    // CLOCK_BOOTTIME and CLOCK_MONOTONIC.
    static const SuspendClocks& system();
};
