#pragma once

#include "engine/TableSchema.h"

#include <QString>

// Making a diary in a PostgreSQL database.
namespace ServerSchema {

// Creates the empty table, its indexes, the text collation and the configuration of its search in the database given by
// libpq's connection info; refuses a database that already has the table.
void createDiary(const QString& connectionInfo, const TableSchema& table);

} // namespace ServerSchema
