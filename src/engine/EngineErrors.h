#pragma once

#include "engine/Error.h"

#include <QString>

struct sqlite3;

// The texts of the engine's errors, and the translation of SQLite's result codes into them.
namespace EngineErrors {

EngineError fileNotFound(const QString& path);
EngineError unrecognizedFormat(const QString& path);
EngineError fileInUse(const QString& path);
EngineError cannotOpen(const QString& path);
EngineError locked();
EngineError readOnly();
EngineError rowNotLocated();
EngineError fieldTooSmall();
EngineError invalidText();
EngineError notUpdatable();
EngineError fieldNotUpdatable(const QString& name);
EngineError syntax(const QString& detail);
EngineError nestedTooDeep(int limit);
EngineError charactersAfterEnd();
EngineError missingParameters();
EngineError tooManyParameters();
EngineError noDataSource();
EngineError notEmpty();

// The error for a failed SQLite call on db, by its result code and message.
EngineError fromSqlite(sqlite3* db, int resultCode);

} // namespace EngineErrors
