#pragma once

#include "diary/ReminderKind.h"
#include "diary/TimedEvent.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>

#include <optional>
#include <vector>

class ProgramSettings;
class TDataModule1;

// Rings the events' own alarms (AlarmRules) and brings snoozed reminders back, on one precise single-shot timer
// armed for the nearest of them. Planning reads the events with a timer once and works out each one's next alarm,
// so it costs the number of such events and runs only at an alarm, after a write to the diary, after a resume and
// after the system's time or time zone changed; Qt's timers count on the monotonic clock, which a suspend or a new
// system time leave behind, so each of those re-plans on the wall clock.
//
// What has rung is remembered as the moment the alarms were last planned up to, kept in the program's settings
// with the snoozes: an alarm rings once, also across a restart, and a clock set back does not ring again what
// already rang. Alarms that came due while the program was not running ring together at the first plan that reads
// the events; a plan that can't read them tries again soon and moves the moment on only once one has.
class AlarmScheduler : public QObject
{
    Q_OBJECT

public:
    // The longest the timer waits before it plans again: the wall clock may drift from the monotonic one.
    static constexpr int longestWaitMilliseconds = 3600 * 1000;

    AlarmScheduler(TDataModule1& dataModule, ProgramSettings& settings, QObject* parent = nullptr);
    // Keeps the moment planned up to, so that a restart rings only what came due since.
    ~AlarmScheduler() override;

    // Reads the events with a timer, rings what came due and arms the timer for the next alarm or snooze.
    void replan();
    // replan() once control is back in the event loop, as after a write: never inside the set that wrote.
    void replanSoon();

    // Brings the reminder of that kind back once at until; for the alarm reminder, with the events listed in ids.
    void snooze(ReminderKind kind, const QDateTime& until, const QList<qint64>& ids = {});

    // The nearest alarm or snooze, none when nothing is due ever again.
    std::optional<QDateTime> nextDue() const { return m_nextDue; }
    // What the timer waits, in milliseconds; -1 when stopped.
    int timerWait() const { return m_timer.isActive() ? m_timer.interval() : -1; }

    static inline const QString rungUntilKey = QStringLiteral("alarmsRungUntil");
    static inline const QString snoozesKey = QStringLiteral("snoozes");

signals:
    // The events whose alarm, or snoozed alarm, is due now.
    void alarmsDue(const QList<qint64>& ids);
    // A snoozed check is due now.
    void snoozeDue(ReminderKind kind);

private:
    struct Snooze
    {
        ReminderKind kind;
        QDateTime until;
        QList<qint64> ids;
    };

    void loadSettings();
    void storeRungUntil();
    void storeSnoozes();

    TDataModule1& m_dataModule;
    ProgramSettings& m_settings;
    QTimer m_timer;
    QTimer m_soon;
    std::vector<TimedEvent> m_events;
    std::vector<Snooze> m_snoozes;
    QDateTime m_rungUntil;
    // The last plan read the events: the moment rung up to may pass now.
    bool m_eventsRead = false;
    // The moment the settings file holds, invalid while it holds none.
    QDateTime m_storedRungUntil;
    std::optional<QDateTime> m_nextDue;
};
