#include "databind/DateTimeText.h"
#include "databind/UserLocale.h"
#include "support/QtPrinters.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

using Moment = DateTimeText::Moment;

const FormatSettings russian;

FormatSettings american()
{
    FormatSettings s;
    s.shortDate = QStringLiteral("M/d/yy");
    s.longTime = QStringLiteral("h:mm:ss AP");
    s.dateSeparator = QLatin1Char('/');
    s.timeSeparator = QLatin1Char(':');
    return s;
}

FormatSettings isoWithDots()
{
    FormatSettings s;
    s.shortDate = QStringLiteral("yyyy-MM-dd");
    s.longTime = QStringLiteral("HH.mm.ss");
    s.dateSeparator = QLatin1Char('-');
    s.timeSeparator = QLatin1Char('.');
    return s;
}

TEST(DateTimeText, DefaultTextLeavesOutAZeroTimeAndWritesDayZeroBeforeABareTime)
{
    const QDate day(2026, 3, 12);
    EXPECT_EQ(DateTimeText::defaultText({day, QTime(14, 5, 9)}, russian), QStringLiteral("12.03.2026 14:05:09"));
    EXPECT_EQ(DateTimeText::defaultText({day, QTime(0, 0)}, russian), QStringLiteral("12.03.2026"));
    EXPECT_EQ(DateTimeText::defaultText({day, QTime(0, 0, 1)}, russian), QStringLiteral("12.03.2026 00:00:01"));
    EXPECT_EQ(DateTimeText::defaultText({QDate(1899, 12, 30), QTime(9, 30)}, russian),
              QStringLiteral("30.12.1899 09:30:00"));
    EXPECT_EQ(DateTimeText::defaultText({day, QTime(21, 5)}, american()), QStringLiteral("3/12/26 9:05:00 PM"));
    EXPECT_EQ(DateTimeText::defaultText({day, QTime(21, 5)}, isoWithDots()), QStringLiteral("2026-03-12 21.05.00"));
}

TEST(DateTimeText, DisplayFormatUsesTheUsersSeparators)
{
    const Moment moment{QDate(2026, 3, 2), QTime(9, 7, 5)};
    const struct
    {
        QString format;
        FormatSettings settings;
        QString text;
    } cases[] = {
        {"hh:mm", russian, "09:07"},
        {"hh:mm", isoWithDots(), "09.07"},
        {"h:nn:ss", russian, "9:07:05"},
        {"dd/mm/yyyy", isoWithDots(), "02-03-2026"},
        {"d/m/yy 'at' hh:mm", russian, "2.3.26 at 09:07"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateTimeText::formatted(moment, c.format, c.settings), c.text) << c.format.toStdString();
}

TEST(DateTimeText, ReadsADateATimeOrBothAndRefusesImpossibleOnes)
{
    const struct
    {
        QString text;
        FormatSettings settings;
        std::optional<Moment> moment;
    } cases[] = {
        {"15.04.2026", russian, Moment{QDate(2026, 4, 15), QTime(0, 0)}},
        {" 15.04.2026  10:20 ", russian, Moment{QDate(2026, 4, 15), QTime(10, 20)}},
        {"15.04.2026 10:20:30", russian, Moment{QDate(2026, 4, 15), QTime(10, 20, 30)}},
        {" 9:30", russian, Moment{QDate(1899, 12, 30), QTime(9, 30)}},
        {"5.4.26", russian, Moment{QDate(2026, 4, 5), QTime(0, 0)}},
        {"5.4.80", russian, Moment{QDate(1980, 4, 5), QTime(0, 0)}},
        {"15.04", russian, Moment{QDate(2026, 4, 15), QTime(0, 0)}},
        {"29.02.2024", russian, Moment{QDate(2024, 2, 29), QTime(0, 0)}},
        {"3/12/26 9:05:00 PM", american(), Moment{QDate(2026, 3, 12), QTime(21, 5)}},
        {"2026-03-12 21.05", isoWithDots(), Moment{QDate(2026, 3, 12), QTime(21, 5)}},
        {"31.02.2026", russian, std::nullopt},
        {"29.02.2026", russian, std::nullopt},
        {"15.13.2026", russian, std::nullopt},
        {"24:00", russian, std::nullopt},
        {"12:60", russian, std::nullopt},
        {"9", russian, std::nullopt},
        {"9 :30", russian, std::nullopt},
        {"15.04.2026 x", russian, std::nullopt},
        {"15.04.", russian, std::nullopt},
        {"abc", russian, std::nullopt},
        {"", russian, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<Moment> read = DateTimeText::parse(c.text, c.settings, 2026);
        ASSERT_EQ(read.has_value(), c.moment.has_value()) << c.text.toStdString();
        if (read) {
            EXPECT_EQ(read->date, c.moment->date) << c.text.toStdString();
            EXPECT_EQ(read->time, c.moment->time) << c.text.toStdString();
        }
    }
}

TEST(UserLocale, FormatsComeFromTheLocaleWithoutTimeZoneAndRussianForC)
{
    const struct
    {
        QLocale locale;
        QString shortDate;
        QString longTime;
        QChar dateSeparator;
        QChar timeSeparator;
    } cases[] = {
        {QLocale::c(), "dd.MM.yyyy", "HH:mm:ss", '.', ':'},
        {QLocale(QLocale::Russian, QLocale::Russia), "dd.MM.yyyy", "HH:mm:ss", '.', ':'},
        {QLocale(QLocale::English, QLocale::UnitedStates), "M/d/yy", "h:mm:ss AP", '/', ':'},
        {QLocale(QLocale::German, QLocale::Germany), "dd.MM.yy", "HH:mm:ss", '.', ':'},
    };
    for (const auto& c : cases) {
        const FormatSettings s = UserLocale::formatSettings(c.locale);
        EXPECT_EQ(s.shortDate, c.shortDate) << c.locale.name().toStdString();
        EXPECT_EQ(s.longTime, c.longTime) << c.locale.name().toStdString();
        EXPECT_EQ(s.dateSeparator, c.dateSeparator) << c.locale.name().toStdString();
        EXPECT_EQ(s.timeSeparator, c.timeSeparator) << c.locale.name().toStdString();
    }
}

} // namespace
