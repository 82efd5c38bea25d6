#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// libpq connection info as the tests change it.
namespace ConnectionInfo {

// The info with the values of these keywords replaced; keywords, values and URIs as libpq reads them. A host given
// drops the info's hostaddr, which would otherwise be the address used. Throws std::runtime_error with libpq's
// reason for an info it can't read.
QString withKeywords(const QString& info, const QList<std::pair<QByteArray, QString>>& keywords);

} // namespace ConnectionInfo
