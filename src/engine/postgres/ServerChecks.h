#pragma once

#include "engine/TableSchema.h"

#include <QByteArray>
#include <QString>

#include <map>

class ServerSession;

// What the program needs of a server's database, checked as a diary is opened and again when a statement is
// refused as if that had changed. Each fault is an EngineError that says what is wrong in the user's terms, never
// a ServerUnreachable: trying again later would not mend it.
namespace ServerChecks {

// The diary's table as found on the server.
struct FoundTable
{
    unsigned oid = 0;
    // The table's columns by the server's column number: their place in the schema.
    std::map<int, size_t> schemaColumns;
    QString key;
    // The table of insert tokens in the same schema: there and usable by this user, not there, or not his to use.
    enum class Tokens { Usable, Missing, Forbidden };
    Tokens tokens = Tokens::Missing;
    // The user may add rows to the diary's table.
    bool mayInsert = false;
};

// Finds the table where the user's search path leads, checks it, its columns, the text collation and the right to
// read it, and keeps the session to the table's schema from then on, on every connection, so that no other
// schema's table, type or function of the same name is taken instead.
FoundTable inspect(ServerSession& session, const TableSchema& table);

// Whether a statement refused with this SQLSTATE may have met a set-up changed under the program: a table, column,
// collation or right gone, a column of another type.
bool mayBeSetUpFault(const QByteArray& state);

// The column type the program makes for a column of the diary's table.
QString columnType(const TableSchema::Column& column);

// The table that keeps the token of each insert with the key of its row, so that a try whose answer was lost is
// found rather than written twice.
inline constexpr const char* insertTokenTable = "chronoteka_insert";
inline constexpr const char* insertTokenDefinition =
    "CREATE TABLE IF NOT EXISTS chronoteka_insert (token uuid PRIMARY KEY, row_key bigint NOT NULL, "
    "made timestamp with time zone NOT NULL DEFAULT now())";

} // namespace ServerChecks
