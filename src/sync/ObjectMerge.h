#pragma once

#include "export/IcsImport.h"

#include <QByteArray>

// An update of a calendar object someone else may have made. What the diary held of the object at the last sync is
// what the import makes of the object as last seen; of the fields the diary holds (text, note, date and time,
// periodicity, done, reminder) only those that differ from it now are written into the object, and a new date or
// time in the form the object already gave it (its zone, a date kept a date). Every other content line stays as it
// was, byte for byte: the recurrence's details, its exceptions and changed occurrences, time zones, alarms beyond
// the first, attendees, categories and whatever else the diary does not know.
class ObjectMerge
{
public:
    using Event = IcsImport::Row;

    // theirs: the object as last seen; ours: the event's calendar as the diary makes it; now: the event itself;
    // lastDigest: DiaryEvents::digest of the event as of the last sync, which tells what the diary held where the
    // object can't say it (a to-do's reminder, an event's done). Returns ours alone when theirs holds no event or
    // to-do.
    static QByteArray merge(const QByteArray& theirs, const QByteArray& ours, const Event& now,
                            const QByteArray& lastDigest = {});
};
