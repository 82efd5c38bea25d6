#include "engine/FleetingVowels.h"

namespace {

bool isConsonant(QChar c)
{
    static const QString consonants = QStringLiteral("бвгджзйклмнпрстфхцчшщ");
    return consonants.contains(c);
}

bool isFleeting(QChar c)
{
    return c == u'о' || c == u'е';
}

} // namespace

namespace FleetingVowels {

QStringList forms(const QString& stem)
{
    QStringList result{stem};
    const qsizetype n = stem.size();
    // Three letters at least are left of any form, so that "сон" does not become "сн", which begins too much.
    if (n < 3)
        return result;
    const QChar last = stem[n - 1];
    const QChar beforeLast = stem[n - 2];
    if (!isConsonant(last))
        return result;
    if (isFleeting(beforeLast) && isConsonant(stem[n - 3]) && n > 3)
        result << stem.left(n - 2) + last;
    else if (isConsonant(beforeLast))
        result << stem.left(n - 1) + u'о' + last << stem.left(n - 1) + u'е' + last;
    return result;
}

} // namespace FleetingVowels
