#pragma once

#include <QString>

struct sqlite3;

// Turns the program's SQL dialect into SQLite's: "..." and '...' texts, & joining texts, now(), date(), year(),
// month() and day() over stored date-times, true and false, mod, [names], #dates#, a trailing ";", and "?" for
// each parameter in order. Texts compare without regard to case in conditions: a text or a parameter there, and
// the operand left of IN, carry the collation textCollation, which the connection defines (the file's schema
// names none, so other tools read and write it as it is).
class Dialect
{
public:
    struct Translation
    {
        QString sql;
        int parameterCount = 0;
        // The one table a plain select reads; empty for anything else.
        QString table;
        // When set, the last result column is the table's row identity, named rowIdentityName.
        bool hasRowIdentity = false;
    };

    static Translation translate(const QString& text);

    static inline const QString rowIdentityName = QStringLiteral("row_identity_");
    static inline const QString textCollation = QStringLiteral("dialect_nocase");

    // Registers the functions the translated texts call on db.
    static void installFunctions(sqlite3* db);
};
