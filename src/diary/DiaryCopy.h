#pragma once

#include <QString>

#include <cstddef>

// Copying a diary into another, as when a file's diary moves to a PostgreSQL server or back.
namespace DiaryCopy {

// Copies every row of the diary at the connection string from, ids kept, and its identity into the one at to,
// which must be empty; a diary file to that is not there yet is made first. Returns the number of rows copied.
std::size_t copy(const QString& from, const QString& to);

} // namespace DiaryCopy
