#include "base/DateSerial.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <limits>

TEST(DateSerialRoundTrip, DaysCountFromTheEpochWithTheTimeAsFraction)
{
    const struct
    {
        QDateTime moment;
        double serial;
    } cases[] = {
        {QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0.0},   {QDateTime(QDate(1899, 12, 30), QTime(18, 0)), 0.75},
        {QDateTime(QDate(1900, 1, 1), QTime(0, 0)), 2.0},     {QDateTime(QDate(2026, 4, 15), QTime(12, 0)), 46127.5},
        {QDateTime(QDate(1899, 12, 29), QTime(6, 0)), -1.25},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(DateSerial::fromDateTime(c.moment), c.serial) << c.moment.toString().toStdString();
        EXPECT_EQ(DateSerial::toDateTime(c.serial), c.moment) << c.serial;
    }
}

TEST(DateSerialRoundTrip, TimesRoundToTheMillisecond)
{
    const double tenOClock = DateSerial::fromTime(QTime(10, 0));
    EXPECT_EQ(DateSerial::toTime(tenOClock - 1e-12), QTime(10, 0));
    EXPECT_EQ(DateSerial::toDateTime(46127.0 - 1e-10), QDateTime(QDate(2026, 4, 15), QTime(0, 0)));
    EXPECT_EQ(DateSerial::toDate(DateSerial::fromTime(QTime(23, 59, 59))), DateSerial::epoch());
}

TEST(DateSerialRoundTrip, SerialsOutsideTheYears100To9999HaveNoDateOrTime)
{
    const double first = DateSerial::fromDate(QDate(100, 1, 1));
    const double last = DateSerial::fromDateAndTime(QDate(9999, 12, 31), QTime(23, 59, 59));
    const struct
    {
        double serial;
        bool showable;
    } cases[] = {
        {first, true},
        {last, true},
        {first - 1, false},
        {DateSerial::fromDate(QDate(10000, 1, 1)), false},
        {1e300, false},
        {-1e300, false},
        {9.3e18, false}, // just beyond what a 64-bit integer holds
        {std::numeric_limits<double>::infinity(), false},
        {-std::numeric_limits<double>::infinity(), false},
        {std::numeric_limits<double>::quiet_NaN(), false},
        {std::numeric_limits<double>::max(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateSerial::isShowable(c.serial), c.showable) << c.serial;
        EXPECT_EQ(DateSerial::toDate(c.serial).isValid(), c.showable) << c.serial;
        EXPECT_EQ(DateSerial::toTime(c.serial).isValid(), c.showable) << c.serial;
        EXPECT_EQ(DateSerial::toDateTime(c.serial).isValid(), c.showable) << c.serial;
    }
    EXPECT_EQ(DateSerial::toDate(first), QDate(100, 1, 1));
    EXPECT_EQ(DateSerial::toDateTime(last), QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
}
