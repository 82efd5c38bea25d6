#pragma once

#include "diary/ReminderKind.h"
#include "settings/TimerIntervals.h"

#include <QObject>

class ReminderWindow;
class TDataModule1;
class QTimer;
class QWidget;
class TrayIcon;

// The six reminder timers and the four checks they run. A check re-reads its set of the data module and, when
// the set holds anything, shows it in the reminder window: at once when that window is closed, otherwise after
// asking. A check whose question is open, or whose set the window shows, only re-reads the set. While the main
// window is in the tray a shown reminder is also told by a desktop notification.
class ReminderChecks : public QObject
{
    Q_OBJECT

public:
    // The timers start at their built-in intervals, or at those config.dat in the current directory holds.
    ReminderChecks(TDataModule1& dataModule, ReminderWindow& window, TrayIcon& tray, const QWidget& mainWindow);

    // The six timers in the order of the settings file.
    TimerIntervals::Timers timers() const { return {TimeHour, TimeDay, TimeWeek, TimeMonth, TimeCritik, TimeBirth}; }

    QTimer* TimeHour = nullptr;
    QTimer* TimeDay = nullptr;
    QTimer* TimeWeek = nullptr;
    QTimer* TimeMonth = nullptr;
    QTimer* TimeCritik = nullptr;
    QTimer* TimeBirth = nullptr;

    void TimeHourTimer();
    void TimeDayTimer();
    void TimeWeekTimer();
    void TimeBirthTimer();

private:
    void run(ReminderKind kind);

    TDataModule1& m_dataModule;
    ReminderWindow& m_window;
    TrayIcon& m_tray;
    const QWidget& m_mainWindow;
    // The checks whose question is open, by kind.
    std::array<bool, reminderKinds.size()> m_asking{};
};
