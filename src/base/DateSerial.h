#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// Date-times are stored as a count of days since 30 December 1899 with the time of day as the fraction,
// so a time of day alone has the day count zero.
class DateSerial
{
public:
    // The milliseconds of a day, the whole that a serial's fraction divides.
    static constexpr int msecsPerDay = 86400000;

    static double fromDateTime(const QDateTime& moment);
    // A date with a time of day, read as they stand (no time zone can shift them).
    static double fromDateAndTime(const QDate& date, const QTime& time);
    static double fromDate(const QDate& date);
    static double fromTime(const QTime& time);
    // Whether a serial falls on a date from 1 January 100 to 31 December 9999; NaN and the infinities don't.
    // The conversions to dates and times give invalid ones for the rest.
    static bool isShowable(double serial);
    static QDateTime toDateTime(double serial);
    static QDate toDate(double serial);
    static QTime toTime(double serial);
    static QDate epoch() { return QDate(1899, 12, 30); }
};
