#pragma once

#include "platform/SuspendClocks.h"

#include <QObject>
#include <QTimer>

// Tells when the machine wakes from a suspend. Where logind answers on the system bus its PrepareForSleep signal
// says so as it happens; elsewhere a coarse tick sees the boot clock run ahead of the monotonic one.
class ResumeWatch : public QObject
{
    Q_OBJECT

public:
    enum class Source { None, Logind, Tick };

    explicit ResumeWatch(const SuspendClocks& clocks = SuspendClocks::system(), QObject* parent = nullptr);

    // Starts watching, by logind when it answers, otherwise by the tick; returns which.
    Source start();
    Source source() const { return m_source; }
    // Starts the tick alone.
    void startTick();

    // One tick: a resume when the boot clock moved on further than the monotonic one since the last tick.
    void compareClocks();

    static constexpr int tickMilliseconds = 15000;
    // More than a clock's jitter between two ticks, less than any sleep worth telling.
    static constexpr qint64 sleepThresholdMilliseconds = 2000;

signals:
    void resumed();

private slots:
    // logind: true as the machine goes to sleep, false when it has woken.
    void prepareForSleep(bool sleeping);

private:
    qint64 clockGap() const;

    const SuspendClocks& m_clocks;
    Source m_source = Source::None;
    QTimer m_tick;
    qint64 m_lastGap = 0;
};
