#pragma once

#include "platform/SuspendClocks.h"

#include <QObject>
#include <QTimer>

// A repeating timer whose interval is counted on the boot clock, so that time asleep counts. Qt's timers count on
// the monotonic clock, which stops during a suspend: an hourly timer due a minute after the lid closed would
// elapse a minute after it opened, hours late. catchUp(), called when the machine wakes, settles that: a timer
// whose interval ran out during the sleep elapses once at once, the others keep what is left of theirs.
class BootClockTimer : public QObject
{
    Q_OBJECT

public:
    explicit BootClockTimer(QObject* parent = nullptr, const SuspendClocks& clocks = SuspendClocks::system());

    int interval() const { return m_interval; }
    bool isActive() const { return m_wait.isActive(); }
    // As QTimer's: a running timer starts its interval again.
    void setInterval(int milliseconds);
    // (Re)starts a full interval from now.
    void start();
    void start(int milliseconds);
    void stop();

    // Boot-clock milliseconds left of the running interval.
    qint64 remainingTime() const;
    // Monotonic milliseconds until the timer next elapses by itself, -1 when stopped; after a sleep it lags
    // remainingTime() until catchUp().
    int monotonicWait() const { return m_wait.remainingTime(); }
    // Called after a resume; see the class comment.
    void catchUp();

signals:
    void timeout();

private:
    void elapse();
    void waitFor(qint64 milliseconds);

    const SuspendClocks& m_clocks;
    // Single-shot, armed for a full interval or for what a sleep left of one.
    QTimer m_wait;
    int m_interval = 0;
    qint64 m_startedAt = 0;
};
