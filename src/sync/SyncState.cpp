#include "sync/SyncState.h"

namespace {

// A collection named by its URL; an event by its key in job, whose row in chronoteka_caldav_object goes when the
// deletion is sent.
const QString collectionTable =
    QStringLiteral("CREATE TABLE IF NOT EXISTS chronoteka_caldav_collection (url text PRIMARY KEY NOT NULL, "
                   "sync_token text NOT NULL)");
const QString objectTable =
    QStringLiteral("CREATE TABLE IF NOT EXISTS chronoteka_caldav_object (collection text NOT NULL, id_job integer "
                   "NOT NULL, href text NOT NULL, etag text NOT NULL, data text NOT NULL, digest text NOT NULL, "
                   "PRIMARY KEY (collection, id_job))");
const QString uidTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS chronoteka_event_uid (id_job integer PRIMARY KEY, uid text NOT NULL UNIQUE)");

QString textOf(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

void SyncState::prepare(Backend::Batch& batch)
{
    batch.run(collectionTable);
    batch.run(objectTable);
    batch.run(uidTable);
}

QByteArray SyncState::token(Backend::Batch& batch, const QString& collection)
{
    const auto rows =
        batch.rows(QStringLiteral("SELECT sync_token FROM chronoteka_caldav_collection WHERE url = ?"), {collection});
    return rows.empty() ? QByteArray() : rows.front().front().toString().toUtf8();
}

void SyncState::storeToken(Backend::Batch& batch, const QString& collection, const QByteArray& token)
{
    batch.run(QStringLiteral("DELETE FROM chronoteka_caldav_collection WHERE url = ?"), {collection});
    batch.run(QStringLiteral("INSERT INTO chronoteka_caldav_collection (url, sync_token) VALUES (?, ?)"),
              {collection, textOf(token)});
}

std::vector<SyncState::Object> SyncState::objects(Backend::Batch& batch, const QString& collection)
{
    std::vector<Object> objects;
    for (const auto& row : batch.rows(
             QStringLiteral("SELECT id_job, href, etag, digest FROM chronoteka_caldav_object WHERE collection = ?"),
             {collection}))
        objects.push_back(
            {row[0].toLongLong(), row[1].toString(), row[2].toString().toUtf8(), row[3].toString().toUtf8()});
    return objects;
}

QByteArray SyncState::text(Backend::Batch& batch, const QString& collection, qint64 id)
{
    const auto rows =
        batch.rows(QStringLiteral("SELECT data FROM chronoteka_caldav_object WHERE collection = ? AND id_job = ?"),
                   {collection, id});
    return rows.empty() ? QByteArray() : rows.front().front().toString().toUtf8();
}

void SyncState::store(Backend::Batch& batch, const QString& collection, const Object& object, const QByteArray& text)
{
    remove(batch, collection, object.id);
    batch.run(QStringLiteral("INSERT INTO chronoteka_caldav_object (collection, id_job, href, etag, data, digest) "
                             "VALUES (?, ?, ?, ?, ?, ?)"),
              {collection, object.id, object.href, textOf(object.etag), textOf(text), textOf(object.digest)});
}

void SyncState::remove(Backend::Batch& batch, const QString& collection, qint64 id)
{
    batch.run(QStringLiteral("DELETE FROM chronoteka_caldav_object WHERE collection = ? AND id_job = ?"),
              {collection, id});
}

std::vector<std::pair<qint64, QString>> SyncState::uids(Backend::Batch& batch)
{
    std::vector<std::pair<qint64, QString>> uids;
    for (const auto& row : batch.rows(QStringLiteral("SELECT id_job, uid FROM chronoteka_event_uid")))
        uids.emplace_back(row[0].toLongLong(), row[1].toString());
    return uids;
}

void SyncState::storeUid(Backend::Batch& batch, qint64 id, const QString& uid)
{
    removeUid(batch, id);
    batch.run(QStringLiteral("INSERT INTO chronoteka_event_uid (id_job, uid) VALUES (?, ?)"), {id, uid});
}

void SyncState::removeUid(Backend::Batch& batch, qint64 id)
{
    batch.run(QStringLiteral("DELETE FROM chronoteka_event_uid WHERE id_job = ?"), {id});
}
