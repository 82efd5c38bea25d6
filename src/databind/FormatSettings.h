#pragma once

#include <QChar>
#include <QString>

// The user's date and time formats (Qt format strings) that field texts are shown and read in.
// The program installs the system locale's at start-up; until then, and in tests, the Russian ones hold.
struct FormatSettings
{
    QString shortDate = QStringLiteral("dd.MM.yyyy");
    QString longTime = QStringLiteral("HH:mm:ss");
    QChar dateSeparator = QLatin1Char('.');
    QChar timeSeparator = QLatin1Char(':');

    static const FormatSettings& current();
    static void setCurrent(const FormatSettings& settings);
};
