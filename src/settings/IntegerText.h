#pragma once

#include <QString>

#include <optional>

// Whole numbers as the settings dialog accepts them: leading blanks, an optional sign, then decimal digits, or up
// to eight hexadecimal digits after "$", "x" or "0x" read as a signed 32-bit pattern ("$FFFFFFFF" is -1).
// Nothing else is allowed, before or after.
class IntegerText
{
public:
    static std::optional<qint32> parse(const QString& text);

    // As parse(), but a refused text throws Error "'<text>' is not a valid integer value".
    static qint32 toInt(const QString& text);
};
