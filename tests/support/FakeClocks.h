#pragma once

#include "platform/SuspendClocks.h"

// A boot clock and a monotonic clock the test moves: awake both go on, asleep only the boot clock does.
class FakeClocks : public SuspendClocks
{
public:
    qint64 bootMilliseconds() const override { return m_boot; }
    qint64 monotonicMilliseconds() const override { return m_monotonic; }

    void awake(qint64 milliseconds)
    {
        m_boot += milliseconds;
        m_monotonic += milliseconds;
    }
    void asleep(qint64 milliseconds) { m_boot += milliseconds; }

private:
    // Boot time starts ahead of monotonic time, as after any earlier sleep.
    qint64 m_boot = 5'000'000;
    qint64 m_monotonic = 1'000'000;
};
