#pragma once

#include "engine/ColumnInfo.h"

#include <QString>

struct sqlite3;

// The diary's one table, `job`, and the mapping between its declared column types and column kinds.
class Schema
{
public:
    // Creates a new diary file holding the empty table; refuses to replace an existing file.
    static void createEmptyDatabase(const QString& path);

    // The statements that create the table in an empty database.
    static QString createStatements();

    // The kind of a column from its declared type; size receives the length of a Text column.
    static ColumnKind kindOf(const QString& declaredType, bool autoIncrement, int* size);

    // True when db holds a `job` table with every column the program addresses, of the right kinds.
    static bool hasUsableJobTable(sqlite3* db);

    // Width of a text column whose declared type gives none, and of a computed column.
    static constexpr int defaultTextSize = 255;
};
