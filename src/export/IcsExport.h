#pragma once

#include "export/ListExport.h"

#include <QString>

class EventUids;
class QWidget;
class RecordSet;

// "Экспорт в iCalendar": every row of the list shown as an RFC 5545 calendar. Birthdays and memorable dates are
// yearly all-day events, with an alarm where the reminder window starts; the recurring duties are to-dos with
// their recurrence; any other event is a to-do on its date. Times are local in the system's time zone.
class IcsExport
{
public:
    using Outcome = ListExport::Outcome;
    using Progress = ListExport::Progress;
    using Dialogs = ListExport::Dialogs;

    // Writes the calendar to path through a temporary file beside it, renamed over it only when complete.
    // uids gives each row's UID: one from elsewhere, or the diary's own. Returns false when progress
    // cancelled: then nothing is written. Throws Error with the text the user sees; an existing file at path is
    // left as it was.
    static bool write(RecordSet& list, const QString& path, const EventUids& uids, const Progress& progress = {});

    static Outcome run(QWidget* parent, RecordSet& list, const EventUids& uids);
    static Outcome run(QWidget* parent, RecordSet& list, const EventUids& uids, const Dialogs& dialogs);

    static Dialogs standardDialogs();
};
