#include "engine/DateSerial.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

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
