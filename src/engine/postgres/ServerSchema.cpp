#include "engine/postgres/ServerSchema.h"

#include "base/Error.h"
#include "engine/Dialect.h"
#include "engine/postgres/PostgresBackend.h"
#include "engine/postgres/ServerSearch.h"
#include "engine/postgres/ServerSession.h"

void ServerSchema::createDiary(const QString& connectionInfo, const TableSchema& table)
{
    ServerSession session(connectionInfo);
    const ServerResult existing =
        session.run("SELECT to_regclass($1) IS NOT NULL", {Dialect::quotedName(table.name).toUtf8()});
    if (existing.text(0, 0)[0] == 't')
        throw EngineError(QStringLiteral("The database '%1' on the server already holds a table '%2'.")
                              .arg(session.databaseName(), table.name));
    session.run("BEGIN");
    try {
        // Statements of one text may not take parameters; each is run by itself.
        const QStringList statements =
            PostgresBackend::createStatements(table).split(QStringLiteral(";\n"), Qt::SkipEmptyParts);
        for (const QString& statement : statements)
            session.run(statement.toUtf8());
        // A database may keep our configuration from a diary made in it before.
        if (!ServerSearch::hasConfiguration(session))
            ServerSearch::makeConfiguration(session);
        ServerSearch::makeIndex(session, table.name, ServerSearch::Build::InTransaction);
        session.run("COMMIT");
    } catch (...) {
        try {
            session.run("ROLLBACK");
        } catch (const EngineError&) {
            // A broken connection has ended the transaction on the server already.
        }
        throw;
    }
}
