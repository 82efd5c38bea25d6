#include "engine/DateSerial.h"

#include <cmath>

namespace {

constexpr qint64 msecsPerDay = 86400000;

} // namespace

double DateSerial::fromDateTime(const QDateTime& moment)
{
    return fromDateAndTime(moment.date(), moment.time());
}

double DateSerial::fromDateAndTime(const QDate& date, const QTime& time)
{
    const double days = static_cast<double>(epoch().daysTo(date));
    const double fraction = time.msecsSinceStartOfDay() / static_cast<double>(msecsPerDay);
    // Before the epoch the whole part counts days back while the fraction still counts the time forward,
    // so -1.25 is 29 December 1899, 06:00; the sign applies to both parts.
    return days < 0 ? days - fraction : days + fraction;
}

double DateSerial::fromDate(const QDate& date)
{
    return static_cast<double>(epoch().daysTo(date));
}

double DateSerial::fromTime(const QTime& time)
{
    return time.msecsSinceStartOfDay() / static_cast<double>(msecsPerDay);
}

QDateTime DateSerial::toDateTime(double serial)
{
    return QDateTime(toDate(serial), toTime(serial));
}

namespace {

// Splits a serial into whole days and milliseconds of the day, rounding to the millisecond so that a value
// written as 10:00 does not read back as 09:59:59.999.
std::pair<qint64, qint64> split(double serial)
{
    const double whole = std::trunc(serial);
    qint64 days = static_cast<qint64>(whole);
    qint64 msecs = std::llround(std::fabs(serial - whole) * msecsPerDay);
    if (msecs >= msecsPerDay) {
        msecs -= msecsPerDay;
        days += serial < 0 ? -1 : 1;
    }
    return {days, msecs};
}

} // namespace

QDate DateSerial::toDate(double serial)
{
    if (!std::isfinite(serial))
        return {};
    return epoch().addDays(split(serial).first);
}

QTime DateSerial::toTime(double serial)
{
    if (!std::isfinite(serial))
        return {};
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(split(serial).second));
}
