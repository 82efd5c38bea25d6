#pragma once

#include "engine/Backend.h"

#include <QString>

#include <map>
#include <optional>
#include <set>

class Connection;

// The UIDs of the diary's events in calendars. An event that came from elsewhere (an import, a calendar synced
// with) keeps the UID it came with, in a table of our own beside job, so that the calendar it came from finds it
// again; any other event has the UID made of its id and the diary's identity (IcsUid). The rows of events deleted
// since are ignored, and cleared when their UID is given again.
class EventUids
{
public:
    static constexpr const char* table = "chronoteka_event_uid";

    // A diary's UIDs without any that came from elsewhere.
    explicit EventUids(QString diaryId);

    // The UIDs as the diary holds them now, through the connection or within a batch.
    static EventUids read(Connection& diary, const QString& diaryId);
    static EventUids read(Backend::Batch& batch, const QString& diaryId);
    // Makes the table unless the diary has it: once, before the first batch that keeps a UID.
    static void prepare(Connection& diary);

    // The UID of the event with that id.
    QString uidOf(qint64 id) const;
    // The event that has that UID in this diary: by the id in one of the diary's own UIDs, when that event is
    // there, or by the table; none for a UID the diary doesn't know.
    std::optional<qint64> eventOf(const QString& uid) const;
    // Within a batch: the event with that id keeps the UID it came with, in place of any other event's row that had
    // it; the rows of deleted events are cleared.
    void keep(Backend::Batch& batch, qint64 id, const QString& uid);

    const QString& diaryId() const { return m_diaryId; }

private:
    void take(const std::vector<std::vector<QVariant>>& rows);

    QString m_diaryId;
    // What follows the id in the diary's own UIDs, made once: an export asks for every event's.
    QByteArray m_ownTail;
    // Read at all: the events there, so that an own UID of a deleted event is not taken for it.
    bool m_read = false;
    // The rows of deleted events cleared within the batch.
    bool m_cleared = false;
    std::set<qint64> m_events;
    std::map<qint64, QString> m_foreign;
    std::map<QString, qint64> m_byUid;
};
