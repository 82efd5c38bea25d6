#include "diary/DiaryIdentity.h"

#include "engine/Backend.h"
#include "engine/Connection.h"

#include <QUuid>

#include <optional>

namespace {

const QString identityName = QStringLiteral("diary_identity");

// The namespace of the UUIDs derived from what names a database, so that they are told from any other UUID made
// from the same text.
const QUuid derivedIdentities(QStringLiteral("{3f0c6b7e-5d1a-4c8e-9a42-7b1e0d6f2c95}"));

} // namespace

namespace DiaryIdentity {

QString of(Connection& diary)
{
    Backend& backend = diary.backend();
    if (std::optional<QString> stored = backend.property(identityName))
        return *stored;
    const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (std::optional<QString> stored = backend.storeProperty(identityName, made, Backend::PropertyWrite::KeepStored))
        return *stored;
    return QUuid::createUuidV5(derivedIdentities, backend.databaseName()).toString(QUuid::WithoutBraces);
}

bool replace(Connection& diary, const QString& identity)
{
    return diary.backend().storeProperty(identityName, identity, Backend::PropertyWrite::Replace).has_value();
}

} // namespace DiaryIdentity
