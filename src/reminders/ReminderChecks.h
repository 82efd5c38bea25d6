#pragma once

#include "diary/ReminderKind.h"
#include "platform/BootClockTimer.h"
#include "settings/TimerIntervals.h"

#include <QObject>

class ConfigFile;
class ReminderWindow;
class TDataModule1;
class QWidget;
class TrayIcon;

// The six reminder timers and the six checks they run, and the check of every set soon after start. A check re-reads
// its set of the data module and, when the set holds anything, shows it in the reminder window: at once when that
// window is closed, otherwise after asking. A check whose question is open, or whose set the window shows, only
// re-reads the set. While the main window is in the tray a shown reminder is also told by a desktop notification. The
// timers count on the boot clock, so time asleep counts towards their intervals; resumed() settles what a sleep ran
// out.
class ReminderChecks : public QObject
{
    Q_OBJECT

public:
    // The timers start at their built-in intervals, or at those the diary's settings file holds.
    ReminderChecks(TDataModule1& dataModule, ReminderWindow& window, TrayIcon& tray, const QWidget& mainWindow,
                   const ConfigFile& settings, const SuspendClocks& clocks = SuspendClocks::system());

    // The shortest interval a check runs at, whatever its timer's built-in one.
    static constexpr int shortestInterval = 60000;
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

private:
    // The checks in the order of the settings file, as timers() lists their timers.
    static constexpr std::array<ReminderKind, TimerIntervals::count> checkOrder = {
        ReminderKind::Hour,  ReminderKind::Day,      ReminderKind::Week,
        ReminderKind::Month, ReminderKind::Critical, ReminderKind::Birth};

    void run(ReminderKind kind);

    TDataModule1& m_dataModule;
    ReminderWindow& m_window;
    TrayIcon& m_tray;
    const QWidget& m_mainWindow;
    // The checks whose question is open, by kind.
    std::array<bool, reminderKinds.size()> m_asking{};
};
