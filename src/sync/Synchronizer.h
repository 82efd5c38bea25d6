#pragma once

#include "sync/CalDavClient.h"
#include "sync/CalendarSync.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <unordered_map>

class Connection;

// One sync of the diary with a calendar collection, run to its end on the caller's thread. Changes on the server
// since the last sync come first and are stored in the diary together with the sync state; then the diary's new,
// changed and deleted events go to the server, each write guarded by the ETag last seen, and the state of each is
// stored as it is done. So a sync stopped anywhere (a server gone, a cancel) keeps what it did, and the next one
// finds what is left: an object written whose answer was lost is recognised by its UID, not written twice.
class Synchronizer
{
public:
    // How many of the objects this sync sends and fetches are done.
    using Progress = std::function<void(int done, int total)>;

    // What a sync leaves to the next ones of the same session, so that one object's trouble is told once and not
    // met again at every sync: the events the server refused, sent again only once they change, and the objects
    // that could not be read, fetched again only once another client changes them.
    struct Memory
    {
        // The event's digest when it was refused; empty for a deletion refused.
        std::unordered_map<qint64, QByteArray> refused;
        // The object's ETag when it could not be read, by its name in the collection.
        std::unordered_map<QString, QByteArray> unreadable;
    };

    // memory, when given, outlives the sync and goes to the next one with the same collection; without it each sync
    // starts afresh.
    Synchronizer(Connection& diary, CalDavClient& client, const QString& diaryId, Memory* memory = nullptr);
    ~Synchronizer();
    Synchronizer(const Synchronizer&) = delete;
    Synchronizer& operator=(const Synchronizer&) = delete;

    // A sync that stops (a server gone, a cancel, a diary that refuses a write) says why in the outcome, with what
    // it did by then kept and counted.
    CalendarSync::Outcome run(const QUrl& calendar, const Progress& progress = {});

    // What the copy a conflict keeps of the diary's version has after its text.
    static QString conflictMark();

private:
    Connection& m_diary;
    CalDavClient& m_client;
    const QString m_diaryId;
    Memory* m_memory;
};
