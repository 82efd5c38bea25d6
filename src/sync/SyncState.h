#pragma once

#include "engine/Backend.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// What the diary keeps of its sync with each calendar collection, in tables of its own beside job: the
// collection's sync token, and for each event synced the object's href, its ETag, its text as last seen and the
// digest of the event as of the last sync. An event without a row is new to the collection; a row whose event is
// gone is a deletion not yet sent. Every read and write goes through a batch, so that the state changes in the
// same transaction as the events.
class SyncState
{
public:
    struct Object
    {
        qint64 id = 0;
        QString href;
        QByteArray etag;
        QByteArray digest;
    };

    // Makes the tables where there are none.
    static void prepare(Backend::Batch& batch);

    static QByteArray token(Backend::Batch& batch, const QString& collection);
    static void storeToken(Backend::Batch& batch, const QString& collection, const QByteArray& token);

    // The objects of the collection, without their texts.
    static std::vector<Object> objects(Backend::Batch& batch, const QString& collection);
    // The object's text as last seen; empty when there is none.
    static QByteArray text(Backend::Batch& batch, const QString& collection, qint64 id);
    static void store(Backend::Batch& batch, const QString& collection, const Object& object, const QByteArray& text);
    static void remove(Backend::Batch& batch, const QString& collection, qint64 id);

    // The UIDs of the events that came from elsewhere, by event.
    static std::vector<std::pair<qint64, QString>> uids(Backend::Batch& batch);
    static void storeUid(Backend::Batch& batch, qint64 id, const QString& uid);
    static void removeUid(Backend::Batch& batch, qint64 id);
};
