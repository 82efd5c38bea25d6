#pragma once

#include "diary/ReminderKind.h"
#include "platform/BootClockTimer.h"
#include "settings/TimerIntervals.h"

#include <QObject>
#include <QString>

#include <chrono>

class AlarmScheduler;
class ConfigFile;
class DesktopNotifications;
class RecordSet;
class ReminderWindow;
class TDataModule1;
class QWidget;
class TrayIcon;

// The six reminder timers and the six checks they run, and the check of every set soon after start. A check re-reads
// its set of the data module and, when the set holds anything, shows it in the reminder window: at once when that
// window is closed, otherwise after asking. A check whose question is open, or whose set the window shows, only
// re-reads the set. The events' own alarms and snoozed reminders come through the same path. While the main window
// is in the tray a shown reminder is also told by a desktop notification, one per kind, whose actions open the
// window or put the reminder off; where no notification service runs, by the tray icon's balloon instead. The
// timers count on the boot clock, so time asleep counts towards their intervals; resumed() settles what a sleep ran
// out.
class ReminderChecks : public QObject
{
    Q_OBJECT

public:
    // The timers start at their built-in intervals, or at those the diary's settings file holds. The notifications
    // are taken back as the main window comes on the screen again.
    ReminderChecks(TDataModule1& dataModule, ReminderWindow& window, TrayIcon& tray,
                   DesktopNotifications& notifications, QWidget& mainWindow, const ConfigFile& settings,
                   const SuspendClocks& clocks = SuspendClocks::system());

    // A built-in interval shorter than this (the critical timer's second) is taken as this, the hourly check's: a
    // check every second, or every minute, would re-read a set the user is working in and bring its window back as
    // soon as it is closed. An interval from the settings, a whole number of minutes, is taken as it is.
    static constexpr int shortestBuiltInInterval = 600000;
    // How long after start checkSoonAfterStart() runs the checks: the desktop settles first.
    static constexpr int startDelay = 60000;

    // The six timers in the order of the settings file.
    TimerIntervals::Timers timers() const { return {TimeHour, TimeDay, TimeWeek, TimeMonth, TimeCritik, TimeBirth}; }

    BootClockTimer* TimeHour = nullptr;
    BootClockTimer* TimeDay = nullptr;
    BootClockTimer* TimeWeek = nullptr;
    BootClockTimer* TimeMonth = nullptr;
    BootClockTimer* TimeCritik = nullptr;
    BootClockTimer* TimeBirth = nullptr;
    // Single shot: armed by checkSoonAfterStart(), on the boot clock so that a suspend right after start doesn't
    // put it off.
    BootClockTimer* TimeStart = nullptr;

    void TimeHourTimer();
    void TimeDayTimer();
    void TimeWeekTimer();
    void TimeBirthTimer();
    void TimeMonthTimer();
    void TimeCritikTimer();

    // Runs every check whose timer runs once, startDelay from now, so that what came due while the program was
    // not running is reminded without waiting a whole interval.
    void checkSoonAfterStart();
    void TimeStartTimer();

    // The machine woke: each check whose interval ran out during the sleep runs once, now.
    void resumed();

    // Joins the events' own alarms: the alarm reminder shows what they bring, and snoozes are kept with them.
    void attachAlarms(AlarmScheduler& alarms);
    // Shows the alarm reminder with these events, and with those it still shows or asks about.
    void showAlarms(const QList<qint64>& ids);
    // Brings the reminder of that kind back once at until; the alarm reminder with the events it lists now. Its
    // notification is taken back. Needs attachAlarms().
    void snooze(ReminderKind kind, const QDateTime& until);

    // The reminder window was closed: the notification of the set it showed is taken back.
    void reminderWindowClosed();

    // The notification's action ids, and how long its "put off" puts the reminder off.
    static constexpr const char* openAction = "default";
    static constexpr const char* snoozeAction = "snooze";
    static constexpr int notificationSnoozeMinutes = 10;
    // How soon a rung alarm or a snoozed check whose set could not be read comes back.
    static constexpr int retryMinutes = 2;
    // The longest a check waits for a server diary, quietly: it runs in the window's thread, which takes no input
    // meanwhile; one that can't finish in time shows nothing and tries again at its next interval.
    static constexpr std::chrono::milliseconds serverWaitLimit{3000};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The checks in the order of the settings file, as timers() lists their timers.
    static constexpr std::array<ReminderKind, TimerIntervals::count> checkOrder = {
        ReminderKind::Hour,  ReminderKind::Day,      ReminderKind::Week,
        ReminderKind::Month, ReminderKind::Critical, ReminderKind::Birth};

    // False when the set could not be saved or read again (told, unless the server is out of reach).
    bool run(ReminderKind kind);
    // Brings a rung alarm, or a snoozed check, back in retryMinutes when its set could not be read.
    void retryLater(ReminderKind kind, const QList<qint64>& ids);
    void notify(ReminderKind kind, RecordSet& set);
    void notificationAction(int key, const QString& action);
    // A notification's "put off": minutes from now.
    void putOff(ReminderKind kind, int minutes);
    void notifyByTray(int key);

    TDataModule1& m_dataModule;
    ReminderWindow& m_window;
    TrayIcon& m_tray;
    DesktopNotifications& m_notifications;
    const QWidget& m_mainWindow;
    AlarmScheduler* m_alarms = nullptr;
    // The checks whose question is open, by kind.
    std::array<bool, reminderKinds.size()> m_asking{};
    // What the tray balloon says of each kind, should its notification find no service.
    std::array<QString, reminderKinds.size()> m_trayTexts;
};
