#include "engine/sqlite/SqliteErrors.h"

#include "engine/EngineErrors.h"

#include <sqlite3.h>

EngineError sqliteError(sqlite3* db, int resultCode)
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    switch (resultCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return EngineErrors::locked();
    case SQLITE_READONLY:
        return EngineErrors::readOnly();
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return EngineErrors::unrecognizedFormat(QString::fromUtf8(sqlite3_db_filename(db, "main")));
    case SQLITE_CONSTRAINT:
        // The schema names each length check "<column>_size".
        if (resultCode == SQLITE_CONSTRAINT_CHECK && message.endsWith(QStringLiteral("_size")))
            return EngineErrors::fieldTooSmall();
        return EngineError(QStringLiteral("The change was refused by the table: %1.").arg(message));
    default:
        break;
    }
    QString text = message;
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return EngineError(text);
}
