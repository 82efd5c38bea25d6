#include "platform/SuspendClocks.h"

#include <time.h>

namespace {

qint64 millisecondsOf(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

class SystemClocks final : public SuspendClocks
{
public:
    qint64 bootMilliseconds() const override { return millisecondsOf(CLOCK_BOOTTIME); }
    qint64 monotonicMilliseconds() const override { return millisecondsOf(CLOCK_MONOTONIC); }
};

} // namespace

const SuspendClocks& SuspendClocks::system()
{
    static const SystemClocks clocks;
    return clocks;
}
