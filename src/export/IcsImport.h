#pragma once

#include "base/Error.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>

#include <optional>
#include <vector>

// "Импорт из iCalendar": the events and to-dos of an RFC 5545 calendar as rows of the diary, mapped back the way
// IcsExport writes them. Yearly all-day events are birthdays (their summary begun with the periodicity's text) or
// memorable dates; a recurrence gives the periodicity of its frequency; the due time, or else the start, gives the
// date and time; an alarm gives the start of the reminder window. Times are read as local in the system's zone.
class IcsImport
{
public:
    struct Row
    {
        // Set when the UID is one this diary's export made: the row it came from.
        std::optional<qint64> id;
        QString uid;
        QString job;
        QString period;
        QDate date;
        QTime time;
        bool napom = false;
        QDate shedDate;
        QTime shedTime;
        bool done = false;
        QString note;

        friend bool operator==(const Row&, const Row&) = default;
    };

    // A file that is not a calendar the import can read: the text names the line, counted from 1.
    class Unreadable : public Error
    {
    public:
        Unreadable(int line, const QString& reason);
        int line() const { return m_line; }
        // What is wrong there, without the file's name for it: "строка 5, неверная дата «…»".
        QString where() const;

    private:
        int m_line;
        QString m_reason;
    };

    // The rows of the calendar's events and to-dos in the order the file gives them. diaryId, the diary's identity,
    // tells this diary's UIDs from others. Throws Unreadable at the first line that breaks the calendar.
    static std::vector<Row> read(const QByteArray& calendar, const QString& diaryId);

    // The colon that ends a content line's name and parameters: the first one outside a quoted parameter value; -1
    // when there is none.
    static qsizetype colonOf(const QByteArray& line);
};
