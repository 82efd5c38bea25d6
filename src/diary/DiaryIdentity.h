#pragma once

#include <QString>

class Connection;

// The name that tells a diary from every other, the same on every computer that opens it; the calendar export
// builds its UIDs from it. It is a random UUID the diary keeps among its own values (Backend::property), made
// with the diary or, in a diary made before, at the first need.
namespace DiaryIdentity {

// The diary's identity, made and stored when it has none; of two programs making one at once, both get the one
// stored first. A diary this user may not write that has none yet (a server role that may only read the events,
// a standby server) gets a UUID derived from what names the database (Backend::databaseName): the same from every
// computer and at every start, until a user who may write makes the real one.
QString of(Connection& diary);

// Makes identity the diary's in place of any it had, as a copy of a diary keeps the identity of the one copied;
// false when this user may not write the diary.
bool replace(Connection& diary, const QString& identity);

} // namespace DiaryIdentity
