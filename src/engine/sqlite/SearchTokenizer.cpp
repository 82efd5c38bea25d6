#include "engine/sqlite/SearchTokenizer.h"

#include "engine/sqlite/SearchTerms.h"
#include "engine/sqlite/SqliteErrors.h"

#include <sqlite3.h>

#include <new>

namespace {

using TokenCallback = int (*)(void*, int, const char*, int, int, int);

SearchTerms* termsOf(Fts5Tokenizer* tokenizer)
{
    return reinterpret_cast<SearchTerms*>(tokenizer);
}

int create(void*, const char**, int, Fts5Tokenizer** made)
{
    try {
        *made = reinterpret_cast<Fts5Tokenizer*>(new SearchTerms);
        return SQLITE_OK;
    } catch (...) {
        return SQLITE_NOMEM;
    }
}

void destroy(Fts5Tokenizer* tokenizer)
{
    delete termsOf(tokenizer);
}

int tokenize(Fts5Tokenizer* tokenizer, void* context, int flags, const char* text, int size, TokenCallback token)
{
    const auto stemming = (flags & FTS5_TOKENIZE_QUERY) != 0 ? SearchTerms::Stemming::Off : SearchTerms::Stemming::On;
    int rc = SQLITE_OK;
    try {
        termsOf(tokenizer)->forEach(text, size, stemming, [&](const QByteArray& term, bool, int start, int end) {
            rc = token(context, 0, term.constData(), static_cast<int>(term.size()), start, end);
            return rc == SQLITE_OK;
        });
    } catch (const std::bad_alloc&) {
        return SQLITE_NOMEM;
    } catch (...) {
        return SQLITE_ERROR;
    }
    return rc;
}

fts5_api* fts5Of(sqlite3* db)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
        rc = sqlite3_step(statement);
        rc = rc == SQLITE_ROW ? SQLITE_OK : rc;
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_OK)
        throw sqliteError(db, rc);
    return api;
}

} // namespace

namespace SearchTokenizer {

void install(sqlite3* db)
{
    fts5_api* api = fts5Of(db);
    fts5_tokenizer tokenizer{create, destroy, tokenize};
    const int rc = api->xCreateTokenizer(api, name, nullptr, &tokenizer, nullptr);
    if (rc != SQLITE_OK)
        throw sqliteError(db, rc);
}

} // namespace SearchTokenizer
