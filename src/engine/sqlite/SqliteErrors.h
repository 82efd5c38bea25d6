#pragma once

#include "base/Error.h"

struct sqlite3;

// The engine's error for a failed SQLite call on db, by its result code and message.
EngineError sqliteError(sqlite3* db, int resultCode);
