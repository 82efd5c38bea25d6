#include "diary/IcsUid.h"

#include <QCryptographicHash>

#include <algorithm>

QByteArray IcsUid::tail(const QString& diaryId)
{
    return '-' + QCryptographicHash::hash(diaryId.toUtf8(), QCryptographicHash::Sha256).toHex().left(16) +
           "@chronoteka";
}

QString IcsUid::of(qint64 id, const QString& diaryId)
{
    return QString::fromLatin1(QByteArray::number(id) + tail(diaryId));
}

std::optional<qint64> IcsUid::idOf(const QString& uid, const QString& diaryId)
{
    const QByteArray text = uid.toLatin1();
    const QByteArray ending = tail(diaryId);
    if (uid.size() <= ending.size() || !text.endsWith(ending))
        return std::nullopt;
    const QByteArray number = text.chopped(ending.size());
    // Only the digits the export writes: a sign, a space or a leading zero would give the same id to another UID.
    if (number.front() == '0' ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    bool ok = false;
    const qint64 id = number.toLongLong(&ok);
    return ok ? std::optional<qint64>(id) : std::nullopt;
}
