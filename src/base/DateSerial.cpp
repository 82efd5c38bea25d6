#include "base/DateSerial.h"

#include <cmath>
#include <optional>

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

// The day counts of 1 January 100 and 31 December 9999, the dates the program shows.
constexpr qint64 firstDay = -657434;
constexpr qint64 lastDay = 2958465;

// Splits a serial into whole days and milliseconds of the day, rounding to the millisecond so that a value
// written as 10:00 does not read back as 09:59:59.999. Nothing for a serial outside the dates shown, NaN and the
// infinities included; the bound on its size comes first, as a double beyond 64 bits has no integer to become.
std::optional<std::pair<qint64, qint64>> split(double serial)
{
    if (!(std::fabs(serial) < 1e7))
        return std::nullopt;
    const double whole = std::trunc(serial);
    qint64 days = static_cast<qint64>(whole);
    qint64 msecs = std::llround(std::fabs(serial - whole) * DateSerial::msecsPerDay);
    if (msecs >= DateSerial::msecsPerDay) {
        msecs -= DateSerial::msecsPerDay;
        days += serial < 0 ? -1 : 1;
    }
    if (days < firstDay || days > lastDay)
        return std::nullopt;
    return std::pair{days, msecs};
}

} // namespace

bool DateSerial::isShowable(double serial)
{
    return split(serial).has_value();
}

QDate DateSerial::toDate(double serial)
{
    const auto parts = split(serial);
    return parts ? epoch().addDays(parts->first) : QDate();
}

QTime DateSerial::toTime(double serial)
{
    const auto parts = split(serial);
    return parts ? QTime::fromMSecsSinceStartOfDay(static_cast<int>(parts->second)) : QTime();
}
