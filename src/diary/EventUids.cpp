#include "diary/EventUids.h"

#include "diary/IcsUid.h"
#include "engine/Connection.h"
#include "engine/Snapshot.h"

#include <utility>

namespace {

// Stored once the table is made: it tells a diary that has never had one from a fault in reading it, and spares
// asking for the right to create a table that is there.
const QString madeProperty = QStringLiteral("event_uid_table");

// Every event with its UID from elsewhere, if any: the rows of deleted events are left out.
const QString everyEvent =
    QStringLiteral("SELECT job.id_job, chronoteka_event_uid.uid FROM job LEFT JOIN chronoteka_event_uid ON "
                   "chronoteka_event_uid.id_job = job.id_job");
const QString everyEventWithoutTable = QStringLiteral("SELECT id_job, NULL FROM job");

} // namespace

EventUids::EventUids(QString diaryId) : m_diaryId(std::move(diaryId)), m_ownTail(IcsUid::tail(m_diaryId)) {}

void EventUids::take(const std::vector<std::vector<QVariant>>& rows)
{
    m_read = true;
    for (const std::vector<QVariant>& row : rows) {
        const qint64 id = row[0].toLongLong();
        m_events.insert(id);
        if (!row[1].isNull()) {
            m_foreign[id] = row[1].toString();
            m_byUid[row[1].toString()] = id;
        }
    }
}

EventUids EventUids::read(Connection& diary, const QString& diaryId)
{
    EventUids uids(diaryId);
    const bool made = diary.backend().property(madeProperty).has_value();
    const std::unique_ptr<Snapshot> events = diary.select(made ? everyEvent : everyEventWithoutTable, {});
    std::vector<std::vector<QVariant>> rows;
    for (int r = 0; r < events->rowCount(); ++r)
        rows.push_back({events->value(r, 0), events->value(r, 1)});
    uids.take(rows);
    return uids;
}

EventUids EventUids::read(Backend::Batch& batch, const QString& diaryId)
{
    EventUids uids(diaryId);
    uids.take(batch.rows(everyEvent));
    return uids;
}

void EventUids::prepare(Connection& diary)
{
    if (diary.backend().property(madeProperty))
        return;
    diary.writeBatch({}, [](Backend::Batch& batch) {
        batch.run(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (id_job integer PRIMARY KEY, uid text NOT NULL UNIQUE)")
                      .arg(QLatin1String(table)));
    });
    diary.backend().storeProperty(madeProperty, QStringLiteral("1"), Backend::PropertyWrite::Replace);
}

QString EventUids::uidOf(qint64 id) const
{
    const auto foreign = m_foreign.find(id);
    return foreign != m_foreign.end() ? foreign->second : QString::fromLatin1(QByteArray::number(id) + m_ownTail);
}

std::optional<qint64> EventUids::eventOf(const QString& uid) const
{
    const auto foreign = m_byUid.find(uid);
    if (foreign != m_byUid.end())
        return foreign->second;
    const std::optional<qint64> own = IcsUid::idOf(uid, m_diaryId);
    // An event that keeps a UID from elsewhere no longer answers to its own.
    if (!own || (m_read && !m_events.count(*own)) || m_foreign.count(*own))
        return std::nullopt;
    return own;
}

void EventUids::keep(Backend::Batch& batch, qint64 id, const QString& uid)
{
    const auto earlier = m_foreign.find(id);
    if (earlier != m_foreign.end() && earlier->second == uid)
        return;
    const QString name = QLatin1String(table);
    // The rows of deleted events go first, once, since one may hold the UID.
    if (!m_cleared) {
        batch.run(QStringLiteral("DELETE FROM %1 WHERE NOT EXISTS (SELECT 1 FROM job WHERE job.id_job = %1.id_job)")
                      .arg(name));
        m_cleared = true;
    }
    const auto owner = m_byUid.find(uid);
    if (owner != m_byUid.end()) {
        batch.run(QStringLiteral("DELETE FROM %1 WHERE id_job = ?").arg(name), {owner->second});
        m_foreign.erase(owner->second);
        m_byUid.erase(owner);
    }
    if (earlier != m_foreign.end()) {
        batch.run(QStringLiteral("DELETE FROM %1 WHERE id_job = ?").arg(name), {id});
        m_byUid.erase(earlier->second);
    }
    batch.run(QStringLiteral("INSERT INTO %1 (id_job, uid) VALUES (?, ?)").arg(name), {id, uid});
    m_foreign[id] = uid;
    m_byUid[uid] = id;
    m_events.insert(id);
}
