#pragma once

#include "diary/ReminderKind.h"
#include "platform/BootClockTimer.h"
#include "settings/TimerIntervals.h"

#include <QObject>

class AlarmScheduler;
class ConfigFile;
class ReminderWindow;
class TDataModule1;
class QWidget;
class TrayIcon;

// The six reminder timers and the four checks they run. A check re-reads its set of the data module and, when
// the set holds anything, shows it in the reminder window: at once when that window is closed, otherwise after
// asking. A check whose question is open, or whose set the window shows, only re-reads the set. While the main
// window is in the tray a shown reminder is also told by a desktop notification. The timers count on the boot
// clock, so time asleep counts towards their intervals; resumed() settles what a sleep ran out.
class ReminderChecks : public QObject
{
    Q_OBJECT

public:
    // The timers start at their built-in intervals, or at those the diary's settings file holds.
    ReminderChecks(TDataModule1& dataModule, ReminderWindow& window, TrayIcon& tray, const QWidget& mainWindow,
                   const ConfigFile& settings, const SuspendClocks& clocks = SuspendClocks::system());

    // The six timers in the order of the settings file.
    TimerIntervals::Timers timers() const { return {TimeHour, TimeDay, TimeWeek, TimeMonth, TimeCritik, TimeBirth}; }

    BootClockTimer* TimeHour = nullptr;
    BootClockTimer* TimeDay = nullptr;
    BootClockTimer* TimeWeek = nullptr;
    BootClockTimer* TimeMonth = nullptr;
    BootClockTimer* TimeCritik = nullptr;
    BootClockTimer* TimeBirth = nullptr;

    void TimeHourTimer();
    void TimeDayTimer();
    void TimeWeekTimer();
    void TimeBirthTimer();

    // The machine woke: each check whose interval ran out during the sleep runs once, now.
    void resumed();

    // Joins the events' own alarms: the alarm reminder shows what they bring, and snoozes are kept with them.
    void attachAlarms(AlarmScheduler& alarms);
    // Shows the alarm reminder with these events, and with those it still shows or asks about.
    void showAlarms(const QList<qint64>& ids);
    // Brings the reminder of that kind back once at until, or minutes from now; the alarm reminder with the events
    // it lists now. Needs attachAlarms().
    void snooze(ReminderKind kind, const QDateTime& until);
    void snoozeMinutes(ReminderKind kind, int minutes);

private:
    void run(ReminderKind kind);

    TDataModule1& m_dataModule;
    ReminderWindow& m_window;
    TrayIcon& m_tray;
    const QWidget& m_mainWindow;
    AlarmScheduler* m_alarms = nullptr;
    // The checks whose question is open, by kind.
    std::array<bool, reminderKinds.size()> m_asking{};
};
