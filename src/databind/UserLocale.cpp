#include "databind/UserLocale.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

// Qt's long time format may end in a time-zone part ("t" to "tttt"), which the program never shows.
QString withoutTimeZone(const QString& format)
{
    QString kept;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        kept += c;
    }
    static const QRegularExpression blanks(QStringLiteral("\\s{2,}"));
    return kept.replace(blanks, QStringLiteral(" ")).trimmed();
}

// The first character of format outside quotes that is no format letter, standing after one of letters.
QChar separatorAfter(const QString& format, const QString& letters, QChar fallback)
{
    bool quoted = false;
    for (qsizetype i = 1; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted && !c.isLetter() && !c.isSpace() && letters.contains(format.at(i - 1)))
            return c;
    }
    return fallback;
}

} // namespace

FormatSettings UserLocale::formatSettings()
{
    return formatSettings(QLocale::system());
}

FormatSettings UserLocale::formatSettings(const QLocale& locale)
{
    FormatSettings settings;
    if (locale.language() == QLocale::C)
        return settings;
    settings.shortDate = locale.dateFormat(QLocale::ShortFormat);
    settings.longTime = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    settings.dateSeparator = separatorAfter(settings.shortDate, QStringLiteral("dMy"), settings.dateSeparator);
    settings.timeSeparator = separatorAfter(settings.longTime, QStringLiteral("Hh"), settings.timeSeparator);
    return settings;
}
