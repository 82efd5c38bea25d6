#include "reminders/ReminderChecks.h"

#include "databind/RecordSet.h"
#include "diary/UnitDM.h"
#include "base/Error.h"
#include "platform/BootClockTimer.h"
#include "platform/ErrorReporter.h"
#include "platform/MessageBoxes.h"
#include "platform/TrayIcon.h"
#include "reminders/ReminderTexts.h"
#include "reminders/ReminderWindow.h"
#include "settings/ConfigFile.h"

#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

// Runs a step of a check; an error is shown and the check ends. A server out of reach ends the check without a
// word: it tries again at its next interval, rather than putting up a box every few minutes while the server is
// down. Returns false when the step failed.
template <class Step> bool attempt(Step&& step)
{
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const ServerUnreachable&) {
        return false;
    } catch (const std::exception& error) {
        ErrorReporter::report(error);
        return false;
    }
}

} // namespace

ReminderChecks::ReminderChecks(TDataModule1& dataModule, ReminderWindow& window, TrayIcon& tray,
                               const QWidget& mainWindow, const ConfigFile& settings, const SuspendClocks& clocks)
    : m_dataModule(dataModule), m_window(window), m_tray(tray), m_mainWindow(mainWindow)
{
    // In the order of the settings file, each with its built-in interval, but no check more often than once a
    // minute: the critical timer's built-in second would re-read its set every second for as long as the program
    // runs.
    std::size_t index = 0;
    auto timer = [this, &index, &clocks](const char* name) {
        auto* t = new BootClockTimer(this, clocks);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(std::max(TimerIntervals::builtInMilliseconds[index++], shortestInterval));
        return t;
    };
    TimeHour = timer("TimeHour");
    TimeDay = timer("TimeDay");
    TimeWeek = timer("TimeWeek");
    TimeMonth = timer("TimeMonth");
    TimeCritik = timer("TimeCritik");
    TimeBirth = timer("TimeBirth");
    connect(TimeHour, &BootClockTimer::timeout, this, &ReminderChecks::TimeHourTimer);
    connect(TimeDay, &BootClockTimer::timeout, this, &ReminderChecks::TimeDayTimer);
    connect(TimeWeek, &BootClockTimer::timeout, this, &ReminderChecks::TimeWeekTimer);
    connect(TimeMonth, &BootClockTimer::timeout, this, &ReminderChecks::TimeMonthTimer);
    connect(TimeCritik, &BootClockTimer::timeout, this, &ReminderChecks::TimeCritikTimer);
    connect(TimeBirth, &BootClockTimer::timeout, this, &ReminderChecks::TimeBirthTimer);
    for (BootClockTimer* t : timers())
        t->start();
    ErrorReporter::guarded([&] { settings.loadInto(timers()); });

    TimeStart = new BootClockTimer(this, clocks);
    TimeStart->setObjectName(QStringLiteral("TimeStart"));
    TimeStart->setInterval(startDelay);
    connect(TimeStart, &BootClockTimer::timeout, this, &ReminderChecks::TimeStartTimer);
}

void ReminderChecks::checkSoonAfterStart()
{
    TimeStart->start();
}

void ReminderChecks::TimeStartTimer()
{
    TimeStart->stop();
    // In the order of the settings file. The first set found opens the window; the others then ask or, while the
    // window shows their set, only re-read it, as at any check. A check turned off in the settings stays off.
    const TimerIntervals::Timers all = timers();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i]->isActive())
            run(checkOrder[i]);
}

void ReminderChecks::TimeHourTimer()
{
    run(ReminderKind::Hour);
}

void ReminderChecks::TimeDayTimer()
{
    run(ReminderKind::Day);
}

void ReminderChecks::TimeWeekTimer()
{
    run(ReminderKind::Week);
}

void ReminderChecks::TimeBirthTimer()
{
    run(ReminderKind::Birth);
}

void ReminderChecks::TimeMonthTimer()
{
    run(ReminderKind::Month);
}

void ReminderChecks::TimeCritikTimer()
{
    run(ReminderKind::Critical);
}

void ReminderChecks::resumed()
{
    for (BootClockTimer* t : timers())
        t->catchUp();
    TimeStart->catchUp();
}

void ReminderChecks::run(ReminderKind kind)
{
    RecordSet& set = m_dataModule.reminderSet(kind);
    // A tick or a note not yet confirmed with OK is saved as moving to another row would save it, rather than
    // thrown away by the re-open; if it can't be posted the set stays as it is until the next check.
    if (set.isOpen() && !attempt([&] { set.checkBrowseMode(); }))
        return;
    const bool reopened = attempt([&] {
        set.close();
        set.open();
    });
    if (!reopened || set.isEmpty())
        return;
    auto show = [&] {
        if (!attempt([&] { m_window.showReminders(kind); }))
            return;
        if (m_mainWindow.isHidden())
            m_tray.notify(reminderTexts(kind).caption, QStringLiteral("Напоминаний: %1").arg(set.recordCount()));
    };
    if (!m_window.isOnScreen()) {
        show();
        return;
    }
    // While this check's question is open a later run only re-reads the set, so questions don't pile up.
    bool& asking = m_asking[static_cast<std::size_t>(kind)];
    if (m_window.shownKind() == kind || asking)
        return;
    asking = true;
    const MessageBoxes::Answer answer =
        MessageBoxes::ask(nullptr, QStringLiteral("Внимание!!!"), reminderTexts(kind).question);
    asking = false;
    if (answer == MessageBoxes::Answer::Ok)
        show();
}
