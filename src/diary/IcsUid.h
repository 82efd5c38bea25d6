#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The UIDs of the diary's rows in a calendar: the same on every export and every computer, so a calendar updates the
// event, and read back to find the row again.
class IcsUid
{
public:
    // The UID of the row with that id in the diary whose identity is diaryId.
    static QString of(qint64 id, const QString& diaryId);
    // The id of the row whose UID in that diary it is; none for a UID made elsewhere.
    static std::optional<qint64> idOf(const QString& uid, const QString& diaryId);
    // What follows the row's id in the UIDs of that diary: the part that tells it from another.
    static QByteArray tail(const QString& diaryId);
};
