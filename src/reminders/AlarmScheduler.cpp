#include "reminders/AlarmScheduler.h"

#include "base/Clock.h"
#include "base/Error.h"
#include "diary/UnitDM.h"
#include "engine/ServerWait.h"
#include "platform/ErrorReporter.h"
#include "reminders/AlarmRules.h"
#include "reminders/ReminderChecks.h"
#include "settings/ProgramSettings.h"

#include <QTimeZone>

#include <algorithm>

namespace {

// The kinds' names in the settings file, which keep a snooze's kind whatever the order of ReminderKind.
QString kindName(ReminderKind kind)
{
    switch (kind) {
    case ReminderKind::Hour:
        return QStringLiteral("hour");
    case ReminderKind::Day:
        return QStringLiteral("day");
    case ReminderKind::Week:
        return QStringLiteral("week");
    case ReminderKind::Birth:
        return QStringLiteral("birth");
    case ReminderKind::Month:
        return QStringLiteral("month");
    case ReminderKind::Critical:
        return QStringLiteral("critical");
    case ReminderKind::Alarm:
        return QStringLiteral("alarm");
    }
    Q_UNREACHABLE();
}

std::optional<ReminderKind> kindNamed(const QString& name)
{
    for (ReminderKind kind : reminderKinds)
        if (kindName(kind) == name)
            return kind;
    return std::nullopt;
}

QString stored(const QDateTime& moment)
{
    return moment.toUTC().toString(Qt::ISODate);
}

QDateTime storedMoment(const QString& text)
{
    return QDateTime::fromString(text, Qt::ISODate);
}

} // namespace

AlarmScheduler::AlarmScheduler(TDataModule1& dataModule, ProgramSettings& settings, QObject* parent)
    : QObject(parent), m_dataModule(dataModule), m_settings(settings)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &AlarmScheduler::replan);
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    connect(&m_soon, &QTimer::timeout, this, &AlarmScheduler::replan);
    loadSettings();
}

AlarmScheduler::~AlarmScheduler()
{
    // Written only when the moment kept would ring again what this run passed (an event saved with its time already
    // gone) or when none is kept yet: most runs end without touching the file, whose safe replacement waits for the
    // disk. As the program ends there is no one left to tell of a failure; at worst the next start rings again what
    // came due since the moment kept.
    // Past the last plan only when it read the events: it armed the timer for the next of them, so nothing rang
    // unseen since. A plan that could not read leaves the moment where the last read one put it.
    const QDateTime until = m_eventsRead ? std::max(m_rungUntil, Clock::now().toUTC()) : m_rungUntil;
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const bool wouldRingAgain =
        !m_storedRungUntil.isValid() || std::any_of(m_events.begin(), m_events.end(), [&](const TimedEvent& event) {
            const std::optional<QDateTime> rings = AlarmRules::nextAfter(event, m_storedRungUntil, zone);
            return rings && *rings <= until;
        });
    if (!wouldRingAgain)
        return;
    try {
        m_settings.store(rungUntilKey, stored(until));
    } catch (const std::exception&) {
    }
}

void AlarmScheduler::loadSettings()
{
    const QDateTime rungUntil = storedMoment(m_settings.value(rungUntilKey).value_or(QString()));
    // A first start rings nothing of the past.
    m_storedRungUntil = rungUntil.isValid() ? rungUntil.toUTC() : QDateTime();
    m_rungUntil = rungUntil.isValid() ? rungUntil.toUTC() : Clock::now().toUTC();
    for (const QString& entry : m_settings.value(snoozesKey).value_or(QString()).split(u';', Qt::SkipEmptyParts)) {
        const QStringList fields = entry.split(u' ', Qt::SkipEmptyParts);
        if (fields.size() < 2)
            continue;
        const std::optional<ReminderKind> kind = kindNamed(fields[0]);
        const QDateTime until = storedMoment(fields[1]);
        if (!kind || !until.isValid())
            continue;
        Snooze snooze{*kind, until.toUTC(), {}};
        if (fields.size() > 2)
            for (const QString& id : fields[2].split(u',', Qt::SkipEmptyParts))
                snooze.ids.append(id.toLongLong());
        m_snoozes.push_back(snooze);
    }
}

void AlarmScheduler::storeRungUntil()
{
    ErrorReporter::guarded([this] {
        m_settings.store(rungUntilKey, stored(m_rungUntil));
        m_storedRungUntil = m_rungUntil;
    });
}

void AlarmScheduler::storeSnoozes()
{
    QStringList entries;
    for (const Snooze& snooze : m_snoozes) {
        QStringList ids;
        for (qint64 id : snooze.ids)
            ids << QString::number(id);
        entries << QStringList{kindName(snooze.kind), stored(snooze.until), ids.join(u',')}.join(u' ').trimmed();
    }
    ErrorReporter::guarded(
        [&] { m_settings.store(snoozesKey, entries.isEmpty() ? std::nullopt : std::optional(entries.join(u';'))); });
}

void AlarmScheduler::replanSoon()
{
    m_soon.start();
}

void AlarmScheduler::snooze(ReminderKind kind, const QDateTime& until, const QList<qint64>& ids)
{
    m_snoozes.push_back({kind, until.toUTC(), ids});
    storeSnoozes();
    replan();
}

void AlarmScheduler::replan()
{
    // Told by the bus of a resume while the window waits for the server, it plans once the wait is over.
    if (ServerWait::inProgress()) {
        ServerWait::whenIdle(this, [this] { replan(); });
        return;
    }
    m_soon.stop();
    // A server diary is read as the reminder checks read theirs, quietly and within their limit. A plan that could
    // not read rings none of the events and keeps the moment rung up to where it was, so that what comes due
    // meanwhile rings once a plan reads them: a diary out of reach is tried again soon, as the checks' reminders are,
    // and any other failure is told and tried again within the hour, rather than a box every few minutes.
    std::optional<int> retryWait;
    try {
        const ServerWait::Quiet quiet(ReminderChecks::serverWaitLimit);
        m_events = m_dataModule.timedEvents();
    } catch (const ServerUnreachable&) {
        retryWait = ReminderChecks::retryMinutes * 60 * 1000;
    } catch (const std::exception& error) {
        ErrorReporter::report(error);
        retryWait = longestWaitMilliseconds;
    }
    m_eventsRead = !retryWait;

    const QDateTime now = Clock::now().toUTC();
    const QTimeZone zone = QTimeZone::systemTimeZone();
    // A clock set back leaves the moment rung up to ahead of now: what rang before it does not ring again. More than a
    // day ahead, it is a clock that was set far ahead and then put right, which would silence every alarm until
    // that day: planning starts from now instead.
    if (m_rungUntil > now.addDays(1))
        m_rungUntil = now;
    const QDateTime plannedFrom = std::max(m_rungUntil, now);
    QList<qint64> dueAlarms;
    std::optional<QDateTime> next;
    auto consider = [&next](const QDateTime& moment) {
        if (!next || moment < *next)
            next = moment;
    };
    if (m_eventsRead) {
        for (const TimedEvent& event : m_events) {
            std::optional<QDateTime> rings = AlarmRules::nextAfter(event, m_rungUntil, zone);
            if (rings && *rings <= now) {
                dueAlarms.append(event.id);
                rings = AlarmRules::nextAfter(event, plannedFrom, zone);
            }
            if (rings)
                consider(*rings);
        }
    } else {
        consider(now.addMSecs(*retryWait));
    }

    std::vector<ReminderKind> dueSnoozes;
    const auto firstLater = std::stable_partition(m_snoozes.begin(), m_snoozes.end(),
                                                  [&now](const Snooze& snooze) { return snooze.until <= now; });
    for (auto snooze = m_snoozes.begin(); snooze != firstLater; ++snooze) {
        if (snooze->kind == ReminderKind::Alarm) {
            for (qint64 id : snooze->ids)
                if (!dueAlarms.contains(id))
                    dueAlarms.append(id);
        } else if (std::find(dueSnoozes.begin(), dueSnoozes.end(), snooze->kind) == dueSnoozes.end()) {
            dueSnoozes.push_back(snooze->kind);
        }
    }
    const bool snoozesRang = firstLater != m_snoozes.begin();
    m_snoozes.erase(m_snoozes.begin(), firstLater);
    for (const Snooze& snooze : m_snoozes)
        consider(snooze.until);

    const bool alarmsRang = !dueAlarms.isEmpty();
    if (m_eventsRead)
        m_rungUntil = plannedFrom;
    if (alarmsRang)
        storeRungUntil();
    if (snoozesRang)
        storeSnoozes();

    m_nextDue = next;
    if (next)
        m_timer.start(static_cast<int>(std::clamp<qint64>(now.msecsTo(*next), 0, longestWaitMilliseconds)));
    else
        m_timer.stop();

    // Last, as the reminders shown may run the event loop and plan again.
    if (alarmsRang)
        emit alarmsDue(dueAlarms);
    for (ReminderKind kind : dueSnoozes)
        emit snoozeDue(kind);
}
