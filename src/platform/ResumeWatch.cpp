#include "platform/ResumeWatch.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace {

const QString logindService = QStringLiteral("org.freedesktop.login1");

} // namespace

ResumeWatch::ResumeWatch(const SuspendClocks& clocks, QObject* parent) : QObject(parent), m_clocks(clocks)
{
    connect(&m_tick, &QTimer::timeout, this, &ResumeWatch::compareClocks);
}

ResumeWatch::Source ResumeWatch::start()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    // A bus without logind (a container, another init) would never send the signal: the tick covers that.
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(logindService).value() &&
        // Qt DBus connects bus signals by their signature text only.
        bus.connect(logindService, QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                    SLOT(prepareForSleep(bool)))) {
        m_source = Source::Logind;
        return m_source;
    }
    startTick();
    return m_source;
}

void ResumeWatch::startTick()
{
    m_lastGap = clockGap();
    m_tick.start(tickMilliseconds);
    m_source = Source::Tick;
}

void ResumeWatch::compareClocks()
{
    const qint64 gap = clockGap();
    const bool slept = gap - m_lastGap > sleepThresholdMilliseconds;
    m_lastGap = gap;
    if (slept)
        emit resumed();
}

void ResumeWatch::prepareForSleep(bool sleeping)
{
    if (!sleeping)
        emit resumed();
}

qint64 ResumeWatch::clockGap() const
{
    return m_clocks.bootMilliseconds() - m_clocks.monotonicMilliseconds();
}
