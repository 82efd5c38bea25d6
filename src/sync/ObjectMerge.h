#pragma once

#include <QByteArray>

// An update of a calendar object someone else may have made: the diary's version of what the diary owns (summary,
// description, date and time, recurrence, status, the alarm the diary writes, the stamps) put into the object as it
// was last seen, so that what the diary cannot hold (attendees, categories, other properties and components) stays
// as it was on the server.
class ObjectMerge
{
public:
    // theirs: the object as last seen; ours: the event's calendar as the diary makes it. diaryReminds: whether the
    // event has a reminder, which a to-do's calendar has no alarm for: their alarm then stays. Returns ours alone
    // when theirs holds no event or to-do.
    static QByteArray merge(const QByteArray& theirs, const QByteArray& ours, bool diaryReminds);
};
