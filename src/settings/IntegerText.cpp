#include "settings/IntegerText.h"

#include "base/Error.h"

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool isDecimalDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool isHexMark(QChar c)
{
    return c == QLatin1Char('x') || c == QLatin1Char('X');
}

} // namespace

std::optional<qint32> IntegerText::parse(const QString& text)
{
    const qsizetype end = text.size();
    qsizetype i = 0;
    // Only blanks: a tab in front is as wrong as anything after the number.
    while (i < end && text[i] == QLatin1Char(' '))
        ++i;

    bool negative = false;
    if (i < end && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }

    bool hex = false;
    if (i < end && (text[i] == QLatin1Char('$') || isHexMark(text[i]))) {
        hex = true;
        ++i;
    } else if (i + 1 < end && text[i] == QLatin1Char('0') && isHexMark(text[i + 1])) {
        hex = true;
        i += 2;
    }

    const qsizetype digits = end - i;
    if (digits == 0)
        return std::nullopt;

    if (hex) {
        if (digits > 8)
            return std::nullopt;
        quint32 pattern = 0;
        for (; i < end; ++i) {
            const int digit = hexDigit(text[i]);
            if (digit < 0)
                return std::nullopt;
            pattern = pattern << 4 | quint32(digit);
        }
        // The sign applies to the 32-bit pattern, wrapping like the machine does: "-$80000000" stays the minimum.
        if (negative)
            pattern = 0u - pattern;
        return static_cast<qint32>(pattern);
    }

    // Accumulated in 64 bits and checked at every digit, so any number of leading zeros is fine and no overflow
    // can slip through.
    const qint64 limit = negative ? qint64(1) << 31 : (qint64(1) << 31) - 1;
    qint64 magnitude = 0;
    for (; i < end; ++i) {
        if (!isDecimalDigit(text[i]))
            return std::nullopt;
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<qint32>(negative ? -magnitude : magnitude);
}

qint32 IntegerText::toInt(const QString& text)
{
    if (const auto value = parse(text))
        return *value;
    throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
