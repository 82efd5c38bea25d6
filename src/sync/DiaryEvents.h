#pragma once

#include "engine/Backend.h"
#include "export/IcsComponents.h"
#include "export/IcsImport.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// The diary's events as the sync reads and writes them: the columns of job a calendar object maps, through the
// statements of a batch, and the digest of them that tells an event changed since the last sync.
class DiaryEvents
{
public:
    // An event with its id; its UID is not kept here.
    using Event = IcsImport::Row;

    static std::vector<Event> all(Backend::Batch& batch);
    static std::optional<Event> read(Backend::Batch& batch, qint64 id);
    // Stores the event's values (its id aside) as a new event and returns it as stored, with its id.
    static Event insert(Backend::Batch& batch, const Event& event);
    // Stores the event's values over those of the event with its id, and returns it as stored.
    static Event update(Backend::Batch& batch, const Event& event);
    static void remove(Backend::Batch& batch, qint64 id);

    // The event as the diary would store it: texts cut to their columns, times to whole seconds.
    static Event asStored(const Event& event);

    // What the diary owns of the event, as a short text that differs when any of it does.
    static QByteArray digest(const Event& event);
    // How an event becomes an object: as the sync writes it, its reminder window an alarm when it reminds; or as the
    // calendar export writes it, the window an alarm whether the event reminds or not.
    enum class Writer { Sync, Export };

    // The event as a component of a calendar; uid empty: the one made from its id.
    static IcsComponents::Row component(const Event& event, const QString& uid, Writer writer = Writer::Sync);
    // The event as its calendar object says it, with what the mapping keeps: equal for two events the object
    // of each would show alike.
    static QByteArray objectDigest(const IcsComponents& components, const Event& event, Writer writer = Writer::Sync);
};
