#pragma once

#include "engine/Connection.h"

#include <QString>

#include <memory>

class Backend;

// The backend of the diary a connection string names: the SQLite file, or the PostgreSQL server's database.
namespace DiaryBackend {

// Opens the diary, refusing a database that does not hold the table job. busyTimeout: how long a file's read or
// write waits for another process's lock before it fails.
std::shared_ptr<Backend> open(const QString& connectionString,
                              int busyTimeoutMilliseconds = Connection::defaultBusyTimeout);

// Makes an empty diary, with its identity: a new file, or the table in a server's database; refuses to replace
// either.
void create(const QString& connectionString);

// Makes an empty diary file at path, a full path, to be copied into new diary folders: without an identity, so that
// each copy makes its own at its first need instead of all sharing one.
void createTemplate(const QString& path);

} // namespace DiaryBackend
