#pragma once

#include "engine/ColumnInfo.h"
#include "engine/TableSchema.h"

#include <QString>

struct sqlite3;

// Making a database file that holds one empty table, checking that a file holds it, and the mapping between
// declared column types and column kinds.
class SqliteSchema
{
public:
    // Creates a new database file at a full path holding the empty table; refuses to replace an existing file.
    static void createEmptyDatabase(const QString& path, const TableSchema& table);

    // The kind of a column from its declared type; size receives the length of a Text column.
    static ColumnKind kindOf(const QString& declaredType, bool autoIncrement, int* size);

    // True when db holds the table with every one of its columns, of the right kinds.
    static bool hasUsableTable(sqlite3* db, const TableSchema& table);
};
