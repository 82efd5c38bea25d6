#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>

#include <memory>

struct icalcomponent_impl;

// The calendar components of the diary's rows, made alike for a file of many rows and for one calendar object of
// the sync: birthdays and memorable dates are yearly all-day events, with an alarm where the reminder window starts;
// the recurring duties are to-dos with their recurrence; any other event is a to-do on its date. Times are local in
// the system's time zone, named by the VTIMEZONE zone() gives.
class IcsComponents
{
public:
    struct Row
    {
        qint64 id = 0;
        // The UID of an event that came from elsewhere; empty: the one made from id and the diary's identity.
        QString uid;
        QString job;
        QString period;
        QDate date;
        QTime time;
        QDate shedDate;
        QTime shedTime;
        bool done = false;
        QString note;
    };

    // The UID's tail, the time zone and the parsed rules are made once here: per row they were a good part of an
    // export's time.
    explicit IcsComponents(const QString& diaryId);
    ~IcsComponents();
    IcsComponents(const IcsComponents&) = delete;
    IcsComponents& operator=(const IcsComponents&) = delete;

    // The row's VEVENT or VTODO, owned by the caller.
    icalcomponent_impl* make(const Row& row) const;
    // The system zone's VTIMEZONE, named as the system names it, owned by the caller; null when times are UTC.
    icalcomponent_impl* zone() const;
    // A calendar of the row alone, as a CalDAV server stores one object.
    QByteArray calendarOf(const Row& row) const;

    // What comes before the components in every calendar the program writes, each a content line ending CR LF.
    static QByteArray header();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
