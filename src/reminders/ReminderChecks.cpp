#include "reminders/ReminderChecks.h"

#include "databind/ActiveRowScope.h"
#include "databind/RecordSet.h"
#include "diary/UnitDM.h"
#include "base/Clock.h"
#include "base/Error.h"
#include "engine/ServerWait.h"
#include "platform/BootClockTimer.h"
#include "platform/DesktopNotifications.h"
#include "platform/ErrorReporter.h"
#include "platform/MessageBoxes.h"
#include "platform/TrayIcon.h"
#include "reminders/AlarmScheduler.h"
#include "reminders/ReminderTexts.h"
#include "reminders/ReminderWindow.h"
#include "settings/ConfigFile.h"

#include <QEvent>
#include <QStringList>
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

// The current event of a set, by its key; none for a closed or empty set, or one without keys (the birthdays).
std::optional<qint64> currentId(const RecordSet& set)
{
    const Field* id = set.isOpen() ? set.findField(QStringLiteral("id_job")) : nullptr;
    if (!id || set.recNo() < 0 || id->isNull())
        return std::nullopt;
    return id->value().toLongLong();
}

// Makes the event with that key current again, where the set still holds it.
void returnTo(RecordSet& set, qint64 key)
{
    const Field* id = set.findField(QStringLiteral("id_job"));
    if (!id)
        return;
    int found = -1;
    {
        ActiveRowScope row(set, 0);
        for (int i = 0; i < set.recordCount() && found < 0; ++i) {
            row.moveTo(i);
            if (!id->isNull() && id->value().toLongLong() == key)
                found = i;
        }
    }
    if (found > 0)
        set.moveBy(found - set.recNo());
}

// A notification names this many events; the rest are counted.
constexpr int notifiedEvents = 5;

// The event names a notification lists, one a line, read without moving the set's current record, which the
// reminder window shows.
QString notificationBody(RecordSet& set)
{
    const int count = set.recordCount();
    QStringList lines;
    ActiveRowScope row(set, 0);
    for (int i = 0; i < std::min(count, notifiedEvents); ++i) {
        row.moveTo(i);
        lines << set.fieldByName(QStringLiteral("job")).asString();
    }
    if (count > notifiedEvents)
        lines << QStringLiteral("и ещё %1").arg(count - notifiedEvents);
    return lines.join(u'\n');
}

} // namespace

ReminderChecks::ReminderChecks(TDataModule1& dataModule, ReminderWindow& window, TrayIcon& tray,
                               DesktopNotifications& notifications, QWidget& mainWindow, const ConfigFile& settings,
                               const SuspendClocks& clocks)
    : m_dataModule(dataModule), m_window(window), m_tray(tray), m_notifications(notifications), m_mainWindow(mainWindow)
{
    // In the order of the settings file, each with its built-in interval, none shorter than shortestBuiltInInterval.
    std::size_t index = 0;
    auto timer = [this, &index, &clocks](const char* name) {
        auto* t = new BootClockTimer(this, clocks);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(std::max(TimerIntervals::builtInMilliseconds[index++], shortestBuiltInInterval));
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
    connect(&m_notifications, &DesktopNotifications::actionInvoked, this, &ReminderChecks::notificationAction);
    connect(&m_notifications, &DesktopNotifications::undelivered, this, &ReminderChecks::notifyByTray);
    mainWindow.installEventFilter(this);

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
    // Told by the bus while the window waits for the server, the checks wait for it to end.
    if (ServerWait::inProgress()) {
        ServerWait::whenIdle(this, [this] { resumed(); });
        return;
    }
    for (BootClockTimer* t : timers())
        t->catchUp();
    TimeStart->catchUp();
}

void ReminderChecks::attachAlarms(AlarmScheduler& alarms)
{
    m_alarms = &alarms;
    connect(&alarms, &AlarmScheduler::alarmsDue, this, &ReminderChecks::showAlarms);
    // A snoozed check runs once, whatever its interval; one whose set could not be read comes back shortly.
    connect(&alarms, &AlarmScheduler::snoozeDue, this, [this](ReminderKind kind) {
        if (!run(kind))
            retryLater(kind, {});
    });
}

void ReminderChecks::retryLater(ReminderKind kind, const QList<qint64>& ids)
{
    // The scheduler took the alarm or snooze as rung: put off, it is not lost while the diary can't be read.
    m_alarms->snooze(kind, Clock::now().addSecs(qint64{retryMinutes} * 60), ids);
}

void ReminderChecks::showAlarms(const QList<qint64>& ids)
{
    RecordSet& set = m_dataModule.reminderSet(ReminderKind::Alarm);
    // Listing other events re-makes the set's query: what was typed on it is saved first.
    const bool saved = !set.isOpen() || attempt([&] {
        const ServerWait::Quiet quiet(serverWaitLimit);
        set.checkBrowseMode();
    });
    if (!saved) {
        retryLater(ReminderKind::Alarm, ids);
        return;
    }
    QList<qint64> listed = ids;
    const bool stillListed = (m_window.isOnScreen() && m_window.shownKind() == ReminderKind::Alarm) ||
                             m_asking[static_cast<std::size_t>(ReminderKind::Alarm)];
    if (stillListed)
        for (qint64 id : m_dataModule.alarmIds())
            if (!listed.contains(id))
                listed.append(id);
    m_dataModule.setAlarmIds(listed);
    if (!run(ReminderKind::Alarm))
        retryLater(ReminderKind::Alarm, listed);
}

void ReminderChecks::snooze(ReminderKind kind, const QDateTime& until)
{
    Q_ASSERT(m_alarms);
    // Taken back first: planning again may bring up a new notification of the kind, which must stay.
    m_notifications.close(static_cast<int>(kind));
    m_alarms->snooze(kind, until, kind == ReminderKind::Alarm ? m_dataModule.alarmIds() : QList<qint64>());
}

void ReminderChecks::putOff(ReminderKind kind, int minutes)
{
    // The window showing that set puts it off as its own "Отложить" does, saving what was ticked and closing.
    const QDateTime until = Clock::now().addSecs(qint64{minutes} * 60);
    if (m_window.isOnScreen() && m_window.shownKind() == kind)
        m_window.snoozeUntil(until);
    else
        snooze(kind, until);
}

bool ReminderChecks::run(ReminderKind kind)
{
    RecordSet& set = m_dataModule.reminderSet(kind);
    // A tick or a note not yet confirmed with OK is saved as moving to another row would save it, rather than
    // thrown away by the re-open; if it can't be posted the set stays as it is until the next check.
    std::optional<ServerWait::Quiet> quiet(std::in_place, serverWaitLimit);
    if (set.isOpen() && !attempt([&] { set.checkBrowseMode(); }))
        return false;
    // The window may show the set: the re-read comes back to the event the user was on.
    const std::optional<qint64> current = currentId(set);
    const bool reopened = attempt([&] {
        set.close();
        set.open();
        if (current)
            returnTo(set, *current);
    });
    // What the user does in the window shown, or while a question is open, waits as any other work does.
    quiet.reset();
    if (!reopened)
        return false;
    if (set.isEmpty())
        return true;
    auto show = [&] {
        if (!attempt([&] { m_window.showReminders(kind); }))
            return;
        if (m_mainWindow.isHidden())
            notify(kind, set);
    };
    if (!m_window.isOnScreen()) {
        show();
        return true;
    }
    // While this check's question is open a later run only re-reads the set, so questions don't pile up.
    bool& asking = m_asking[static_cast<std::size_t>(kind)];
    if (m_window.shownKind() == kind || asking)
        return true;
    asking = true;
    const MessageBoxes::Answer answer =
        MessageBoxes::ask(nullptr, QStringLiteral("Внимание!!!"), reminderTexts(kind).question);
    asking = false;
    if (answer == MessageBoxes::Answer::Ok)
        show();
    return true;
}

void ReminderChecks::notify(ReminderKind kind, RecordSet& set)
{
    const auto index = static_cast<std::size_t>(kind);
    m_trayTexts[index] = QStringLiteral("Напоминаний: %1").arg(set.recordCount());
    QString body;
    if (!attempt([&] { body = notificationBody(set); }))
        return;
    const QList<DesktopNotifications::Action> actions = {
        {QString::fromLatin1(openAction), QStringLiteral("Открыть")},
        {QString::fromLatin1(snoozeAction), QStringLiteral("Отложить на %1 минут").arg(notificationSnoozeMinutes)}};
    m_notifications.show(static_cast<int>(kind), {reminderTexts(kind).caption, body, actions});
}

void ReminderChecks::notifyByTray(int key)
{
    const auto kind = static_cast<ReminderKind>(key);
    m_tray.notify(reminderTexts(kind).caption, m_trayTexts[static_cast<std::size_t>(key)]);
}

void ReminderChecks::notificationAction(int key, const QString& action)
{
    // A bus signal may come while the window waits for the server: the diary is touched once that is over.
    if (ServerWait::inProgress()) {
        ServerWait::whenIdle(this, [this, key, action] { notificationAction(key, action); });
        return;
    }
    const auto kind = static_cast<ReminderKind>(key);
    if (action == QLatin1String(openAction))
        attempt([&] { m_window.showReminders(kind); });
    else if (action == QLatin1String(snoozeAction))
        putOff(kind, notificationSnoozeMinutes);
}

void ReminderChecks::reminderWindowClosed()
{
    if (const std::optional<ReminderKind> shown = m_window.shownKind())
        m_notifications.close(static_cast<int>(*shown));
}

bool ReminderChecks::eventFilter(QObject* watched, QEvent* event)
{
    // Back on the screen, the program itself says what is due: what the notifications said is taken back.
    if (watched == &m_mainWindow && event->type() == QEvent::Show) {
        for (ReminderKind kind : reminderKinds)
            m_notifications.close(static_cast<int>(kind));
    }
    return QObject::eventFilter(watched, event);
}
