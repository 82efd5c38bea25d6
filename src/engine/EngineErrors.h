#pragma once

#include "base/Error.h"

#include <QString>

// The texts of the engine's errors.
namespace EngineErrors {

EngineError fileNotFound(const QString& path);
EngineError unrecognizedFormat(const QString& path);
EngineError fileInUse(const QString& path);
EngineError cannotOpen(const QString& path);
EngineError locked();
EngineError readOnly();
EngineError rowNotLocated();
// Another program changed the columns of a table a select reads with "*" while its rows were being read.
EngineError columnsChanged();
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
EngineError relativeDataSource(const QString& path);
EngineError notEmpty();

} // namespace EngineErrors
