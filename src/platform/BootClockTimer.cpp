#include "platform/BootClockTimer.h"

#include <algorithm>

BootClockTimer::BootClockTimer(QObject* parent, const SuspendClocks& clocks) : QObject(parent), m_clocks(clocks)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &BootClockTimer::elapse);
}

void BootClockTimer::setInterval(int milliseconds)
{
    m_interval = milliseconds;
    if (isActive())
        start();
}

void BootClockTimer::start()
{
    m_startedAt = m_clocks.bootMilliseconds();
    waitFor(m_interval);
}

void BootClockTimer::start(int milliseconds)
{
    m_interval = milliseconds;
    start();
}

void BootClockTimer::stop()
{
    m_wait.stop();
}

qint64 BootClockTimer::remainingTime() const
{
    if (!isActive())
        return -1;
    return std::max<qint64>(0, m_interval - (m_clocks.bootMilliseconds() - m_startedAt));
}

void BootClockTimer::catchUp()
{
    if (!isActive())
        return;
    const qint64 left = m_interval - (m_clocks.bootMilliseconds() - m_startedAt);
    if (left <= 0) {
        // However many intervals the sleep spanned, the check they stand for is run once.
        elapse();
        return;
    }
    waitFor(left);
}

void BootClockTimer::elapse()
{
    // Re-armed before the signal, so a handler that stops or restarts the timer has the last word.
    start();
    emit timeout();
}

void BootClockTimer::waitFor(qint64 milliseconds)
{
    m_wait.start(static_cast<int>(std::max<qint64>(0, std::min<qint64>(milliseconds, m_interval))));
}
