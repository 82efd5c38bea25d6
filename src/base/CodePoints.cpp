#include "base/CodePoints.h"

namespace {

// The UTF-16 units of the code point at i: two for a whole surrogate pair, else one.
qsizetype unitsAt(const QString& text, qsizetype i)
{
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
}

} // namespace

qsizetype CodePoints::count(const QString& text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); i += unitsAt(text, i))
        ++n;
    return n;
}

QString CodePoints::left(const QString& text, qsizetype n)
{
    qsizetype i = 0;
    for (qsizetype taken = 0; i < text.size() && taken < n; ++taken)
        i += unitsAt(text, i);
    return text.left(i);
}

bool CodePoints::isWellFormed(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); i += unitsAt(text, i)) {
        if (text[i].isSurrogate() && unitsAt(text, i) == 1)
            return false;
    }
    return true;
}

QString CodePoints::wellFormed(const QString& text)
{
    if (isWellFormed(text))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype units = unitsAt(text, i);
        if (units == 2 || !text[i].isSurrogate())
            out += text.mid(i, units);
        i += units;
    }
    return out;
}
