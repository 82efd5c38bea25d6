#pragma once

#include "engine/SearchWords.h"
#include "engine/sqlite/SearchTerms.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

struct sqlite3;

// The index of the events' descriptions and notes, in tables of its own beside job: an FTS5 table keyed by id_job,
// a table of the keys changed since it was last brought up to date, its format and the highest key it has seen, and
// every term it has held, in order, for a prefix.
//
// Others write job too: a stock sqlite3, an older copy of the program, a diary copied over this one. A trigger
// that wrote the FTS5 table would fail in any of them for want of our tokenizer, so plain triggers on job only
// record the changed keys, which any SQLite can run; the program's own connections run no triggers and record
// their writes themselves. A search first brings the index up to date from those keys and from any key above the
// highest seen (rows added by a writer without the triggers), and from the rows whose date_zap is later than the
// latest it has seen (an index of its own over date_zap finds them: every post of the program stamps it, so an
// older copy's edits are found too), and builds it anew when its tables or triggers are missing or of another
// format; all of this a few thousand keys at a time. A found key whose row is gone is left out, so a delete nothing
// recorded is never found; only an edit by a writer without the triggers that leaves date_zap as it was (or sets
// it back) stays unseen until the next full build.
// A diary that can't be written, or whose write lock another program holds, is searched as its index stands, the
// changed rows matched directly.
class SearchIndex
{
public:
    explicit SearchIndex(sqlite3* db);

    // The keys of the events holding every word, newest first, at most limit; the index brought up to date first.
    std::vector<qint64> search(const SearchWords& words, int limit);
    // Builds the index or brings it up to date a step at a time, each step a short write transaction of its own,
    // so that another writer waits at most one step. progress is told how many keys are done of how many there
    // were, before each step, and stops the work by returning false; what is done stays done. A diary that can't be
    // written is left as it is.
    void prepare(const std::function<bool(qint64 done, qint64 total)>& progress);

    // Records, inside the write's transaction, that the program changed, added or deleted the event with that key.
    static void noteChanged(sqlite3* db, qint64 id);
    // Has the next search build the index anew, inside a write's transaction that put in rows with keys of their own.
    static void forget(sqlite3* db);

    // The table of the events the index covers.
    static constexpr const char* jobTable = "job";

private:
    // Each word as the forms of its term, any of which matches; the last a prefix when typed so.
    struct Query
    {
        std::vector<QList<QByteArray>> words;
        bool lastIsPrefix = false;
    };
    enum class State { Missing, Usable };

    Query queryOf(const SearchWords& words);
    // The FTS5 query: every word, each in any of its forms. A prefix is asked for as the index's terms that begin
    // with it when they are few: FTS5 merges the whole of each matching term's list for a prefix before the first row
    // comes, while terms named one by one are read lazily, newest first, up to the limit. Nothing when no term can
    // match.
    std::optional<QString> matchText(const Query& query);
    std::optional<QList<QByteArray>> termsBeginning(const QByteArray& prefix);
    bool matches(const Query& query, const QByteArray& job, const QByteArray& other);

    State state();
    bool hasChanges();
    bool isBuilding();
    qint64 pending();
    // One step of bringing the index up to date, adding the keys it took to done; false when nothing was left.
    bool step(qint64& done);
    qint64 takeStep();
    void create();
    void addTerms();
    std::vector<qint64> fromIndex(const Query& query, int limit);
    std::vector<qint64> withoutWriting(const Query& query, int limit);
    std::vector<qint64> scan(const Query& query, const QString& sql, int limit);

    sqlite3* m_db;
    SearchTerms m_terms;
};
