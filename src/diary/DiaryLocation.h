#pragma once

#include <QString>

// Where a diary is. The diary folder (the current directory) holds its diary in db1.mdb, unless the one-line
// file database.conf there names another: a connection string, such as one of a PostgreSQL server's diary, or the
// path of a diary file elsewhere. chronoteka-newdb takes its diaries the same way.
namespace DiaryLocation {

// The connection string of the diary folder's diary: database.conf's when the file is there, db1.mdb's otherwise.
// Throws Error when database.conf can't be read or holds nothing.
QString connectionString();

// Text that names a Data Source is a connection string and is kept as it is; any other text is the path of a
// diary file.
QString connectionStringOf(const QString& pathOrConnectionString);

// Makes an empty diary: a new file, or the table in a server's database; refuses to replace either.
void create(const QString& connectionString);

} // namespace DiaryLocation
