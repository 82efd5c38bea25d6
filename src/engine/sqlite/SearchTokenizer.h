#pragma once

struct sqlite3;

// The FTS5 tokenizer of the search index, SearchTerms over each text. A query's terms are stems already (the
// search stems each word itself, to ask for every form of it), so they are only split and folded.
namespace SearchTokenizer {

constexpr const char* name = "chronoteka_words";

// Registers it on db.
void install(sqlite3* db);

} // namespace SearchTokenizer
