#pragma once

struct sqlite3;

// The functions and the text collation that the dialect's translated texts call on a file, and the search
// index's tokenizer.
namespace SqliteFunctions {

// Registers them on db.
void install(sqlite3* db);

} // namespace SqliteFunctions
