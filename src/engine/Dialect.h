#pragma once

#include "engine/TableSchema.h"

#include <QString>

#include <vector>

// Turns the program's SQL dialect into SQLite's: "..." and '...' texts, & joining texts, now(), date(), year(),
// month() and day() over stored date-times, true and false, mod, [names], #dates#, a trailing ";", and "?" for
// each parameter in order. Texts compare without regard to case in conditions: a text or a parameter there, and
// the operand left of IN, carry the collation textCollation, which the file's backend defines (the file's schema
// names none, so other tools read and write it as it is).
// For a PostgreSQL server the same texts become PostgreSQL's SQL, with the same results: the functions are
// written out in its terms, the program's clock is passed as parameters, and texts compare with the server diary's
// collation of the same name.
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
        // For a select of the table's own columns, which reads the same when its rows are read again by their row
        // identity: the select of the row identities alone (named rowIdentityName), in order, with the same
        // parameters; and the select of the rows, ending in "WHERE <row identity>", to which a backend adds its test
        // of a list of identities. Empty for any other.
        QString keysSql;
        QString rowsSql;
        // For such a select ordered by its row identity, in a file the engine knows: the keys after a key, when
        // keysAfterSql + <key> + keysLimitSql + <count> are run, so that a long list can be read in steps.
        QString keysAfterSql;
        QString keysLimitSql;
        // For such a select: the parameters (by index) any of which, null, makes the select return no rows.
        std::vector<int> emptyWhenNull;
        // For the server: what each $n stands for, in order: a parameter of the text by its index, or the clock.
        std::vector<int> serverParameters;
        // For an INSERT, UPDATE or DELETE: which it is, and the table it writes.
        enum class Write { None, Insert, Update, Delete };
        Write write = Write::None;
        QString writtenTable;
    };

    static constexpr int clockNow = -1;
    static constexpr int clockToday = -2;

    // For a file; a select of known, whose key is the rowid's alias, may list its keys in steps.
    static Translation translate(const QString& text, const TableSchema* known = nullptr);
    // For a PostgreSQL server; a plain select of table gets its key column as the row identity.
    static Translation translateForServer(const QString& text, const TableSchema& table);

    // A table's or column's name as the SQL of both engines writes it: in double quotes, a quote in it doubled.
    static QString quotedName(const QString& name);

    static inline const QString rowIdentityName = QStringLiteral("row_identity_");
    static inline const QString textCollation = QStringLiteral("dialect_nocase");
};
