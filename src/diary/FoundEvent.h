#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// An event a search found, as the result list shows it.
struct FoundEvent
{
    qint64 id = 0;
    QString job;
    // The stored periodicity as it stands; null when the row has none.
    QString period;
    // None when the row has no date of execution or one the program could not show.
    std::optional<QDateTime> dateIsp;
};
