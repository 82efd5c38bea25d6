#pragma once

#include "databind/FormatSettings.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <optional>

// The texts of date-time values in the user's formats, both ways.
class DateTimeText
{
public:
    struct Moment
    {
        QDate date; // 30.12.1899 for a time of day alone
        QTime time;
    };

    // The short date, then a blank and the long time unless hour, minute and second are all zero.
    static QString defaultText(const Moment& moment, const FormatSettings& settings);
    // A field's display format: d dd ddd dddd, m mm mmm mmmm (minutes right after an hour), yy yyyy, h hh, n nn,
    // s ss, z zzz, "/" and ":" for the user's separators, text in quotes as it stands; anything else as it stands.
    static QString formatted(const Moment& moment, const QString& format, const FormatSettings& settings);
    // Reads a date, a time of day, or a date and a time in the user's formats. A date without year takes
    // currentYear; a two-digit year falls within 50 years before currentYear and 49 after.
    // Nothing for an impossible date or time.
    static std::optional<Moment> parse(const QString& text, const FormatSettings& settings, int currentYear);
};
