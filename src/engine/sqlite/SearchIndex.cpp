#include "engine/sqlite/SearchIndex.h"

#include "engine/FleetingVowels.h"
#include "engine/sqlite/SearchTokenizer.h"
#include "engine/sqlite/SqliteErrors.h"
#include "engine/sqlite/Statement.h"
#include "engine/sqlite/WriteTransaction.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>

namespace {

// Raised whenever what the index holds, or how it splits and stems, changes: an index of another format is built
// anew.
constexpr int format = 3;

// The most keys one step of bringing the index up to date takes: about a tenth of a second of work, the longest
// another writer waits for the index.
constexpr int keysPerStep = 5000;

const QString indexTable = QStringLiteral("chronoteka_search");
const QString changedTable = QStringLiteral("chronoteka_search_changed");
const QString stateTable = QStringLiteral("chronoteka_search_state");
const QString termTable = QStringLiteral("chronoteka_search_terms");
const QString stepTable = QStringLiteral("temp.chronoteka_search_step");
// The index of job's date_zap, which every post by the program, an older copy too, stamps: edits made without the
// triggers are found by it.
const QString stampIndex = QStringLiteral("chronoteka_search_stamped");
const QStringList triggers = {QStringLiteral("chronoteka_search_insert"), QStringLiteral("chronoteka_search_update"),
                              QStringLiteral("chronoteka_search_delete")};

QString quoted(const QString& name)
{
    return QLatin1Char('\'') + name + QLatin1Char('\'');
}

// An FTS5 string: within double quotes nothing is syntax but a doubled quote.
QString ftsString(const QByteArray& term)
{
    return QLatin1Char('"') + QString::fromUtf8(term).replace(u'"', QStringLiteral("\"\"")) + QLatin1Char('"');
}

void executeEach(sqlite3* db, const QStringList& statements)
{
    for (const QString& sql : statements)
        Statement::execute(db, sql);
}

} // namespace

SearchIndex::SearchIndex(sqlite3* db) : m_db(db) {}

void SearchIndex::noteChanged(sqlite3* db, qint64 id)
{
    sqlite3_stmt* statement = nullptr;
    // Without the table there is no index yet, and the first search builds it whole.
    if (sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO chronoteka_search_changed (id_job) VALUES (?)", -1, &statement,
                           nullptr) != SQLITE_OK)
        return;
    sqlite3_bind_int64(statement, 1, id);
    const int rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        throw sqliteError(db, rc);
}

void SearchIndex::forget(sqlite3* db)
{
    sqlite3_stmt* statement = nullptr;
    // Without the table there is no index to forget.
    if (sqlite3_prepare_v2(db, "DELETE FROM chronoteka_search_state", -1, &statement, nullptr) != SQLITE_OK)
        return;
    const int rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        throw sqliteError(db, rc);
}

SearchIndex::Query SearchIndex::queryOf(const SearchWords& words)
{
    Query query;
    for (qsizetype w = 0; w < words.words.size(); ++w) {
        // Split and folded as the index's texts are; each term must be there, in one of its forms.
        const QByteArray utf8 = words.words[w].toUtf8();
        bool gaveTerms = false;
        m_terms.forEach(utf8.constData(), static_cast<int>(utf8.size()), SearchTerms::Stemming::On,
                        [&](const QByteArray& term, bool isStem, int, int) {
                            QList<QByteArray> forms;
                            if (isStem) {
                                for (const QString& form : FleetingVowels::forms(QString::fromUtf8(term)))
                                    forms << form.toUtf8();
                            } else {
                                forms << QByteArray(term.constData(), term.size());
                            }
                            query.words.push_back(std::move(forms));
                            gaveTerms = true;
                            return true;
                        });
        // Only the word being typed is a prefix; one that gave nothing to look for passes that on to no other.
        query.lastIsPrefix = words.lastIsPrefix && w + 1 == words.words.size() && gaveTerms;
    }
    return query;
}

std::optional<QList<QByteArray>> SearchIndex::termsBeginning(const QByteArray& prefix)
{
    constexpr int most = 64;
    Statement terms(m_db, QStringLiteral("SELECT term FROM %1 WHERE term >= ? ORDER BY term LIMIT ?").arg(termTable));
    terms.bind(1, QString::fromUtf8(prefix));
    terms.bind(2, most + 1);
    QList<QByteArray> found;
    while (terms.step()) {
        QByteArray term = terms.utf8(0);
        if (!term.startsWith(prefix))
            break;
        found << std::move(term);
    }
    if (found.size() > most)
        return std::nullopt;
    return found;
}

std::optional<QString> SearchIndex::matchText(const Query& query)
{
    QStringList all;
    for (size_t i = 0; i < query.words.size(); ++i) {
        const bool prefix = query.lastIsPrefix && i + 1 == query.words.size();
        QStringList any;
        for (const QByteArray& form : query.words[i]) {
            const std::optional<QList<QByteArray>> terms = prefix ? termsBeginning(form) : std::nullopt;
            if (terms) {
                for (const QByteArray& term : *terms)
                    any << ftsString(term);
            } else {
                any << ftsString(form) + (prefix ? QStringLiteral("*") : QString());
            }
        }
        if (any.isEmpty())
            return std::nullopt;
        all << QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    return all.join(QStringLiteral(" AND "));
}

bool SearchIndex::matches(const Query& query, const QByteArray& job, const QByteArray& other)
{
    std::vector<QByteArray> terms;
    const SearchTerms::Sink collect = [&](const QByteArray& term, bool, int, int) {
        terms.push_back(QByteArray(term.constData(), term.size()));
        return true;
    };
    m_terms.forEach(job.constData(), static_cast<int>(job.size()), SearchTerms::Stemming::On, collect);
    m_terms.forEach(other.constData(), static_cast<int>(other.size()), SearchTerms::Stemming::On, collect);
    for (size_t i = 0; i < query.words.size(); ++i) {
        const bool prefix = query.lastIsPrefix && i + 1 == query.words.size();
        const bool found = std::any_of(terms.begin(), terms.end(), [&](const QByteArray& term) {
            return std::any_of(query.words[i].begin(), query.words[i].end(),
                               [&](const QByteArray& form) { return prefix ? term.startsWith(form) : term == form; });
        });
        if (!found)
            return false;
    }
    return true;
}

SearchIndex::State SearchIndex::state()
{
    QStringList names{quoted(indexTable), quoted(changedTable), quoted(stateTable), quoted(termTable),
                      quoted(stampIndex)};
    for (const QString& trigger : triggers)
        names << quoted(trigger);
    Statement present(
        m_db,
        QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name IN (%1)").arg(names.join(QStringLiteral(", "))));
    if (!present.step() || present.integer(0) != names.size())
        return State::Missing;
    Statement stored(m_db, QStringLiteral("SELECT format FROM %1").arg(stateTable));
    return stored.step() && stored.integer(0) == format ? State::Usable : State::Missing;
}

bool SearchIndex::hasChanges()
{
    Statement changes(m_db,
                      QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1) OR "
                                     "(SELECT max(id_job) FROM job) > (SELECT seen FROM %2) OR "
                                     "(SELECT max(date_zap) FROM job) > (SELECT coalesce(stamped, -1e308) FROM %2)")
                          .arg(changedTable, stateTable));
    return changes.step() && changes.integer(0) != 0;
}

void SearchIndex::create()
{
    QStringList statements;
    for (const QString& trigger : triggers)
        statements << QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(trigger);
    for (const QString& table : {indexTable, changedTable, stateTable, termTable})
        statements << QStringLiteral("DROP TABLE IF EXISTS %1").arg(table);
    // Only which rows hold a term is needed, not where in them: no positions, no column sizes.
    statements << QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(job, other, tokenize = '%2', detail = none, "
                                 "columnsize = 0)")
                      .arg(indexTable, QString::fromLatin1(SearchTokenizer::name))
               << QStringLiteral("CREATE TABLE %1 (id_job INTEGER PRIMARY KEY)").arg(changedTable)
               << QStringLiteral("CREATE TABLE %1 (format INTEGER NOT NULL, seen INTEGER NOT NULL, "
                                 "building INTEGER NOT NULL, stamped)")
                      .arg(stateTable)
               << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON job (date_zap)").arg(stampIndex)
               << QStringLiteral("CREATE TABLE %1 (term TEXT PRIMARY KEY) WITHOUT ROWID").arg(termTable)
               << QStringLiteral(
                      "INSERT INTO %1 (format, seen, building, stamped) SELECT %2, 0, 1, max(date_zap) FROM job")
                      .arg(stateTable)
                      .arg(format)
               << QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON job BEGIN "
                                 "INSERT OR IGNORE INTO %2 (id_job) VALUES (new.id_job); END")
                      .arg(triggers[0], changedTable)
               << QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE OF id_job, job, other ON job BEGIN "
                                 "INSERT OR IGNORE INTO %2 (id_job) VALUES (old.id_job); "
                                 "INSERT OR IGNORE INTO %2 (id_job) VALUES (new.id_job); END")
                      .arg(triggers[1], changedTable)
               << QStringLiteral("CREATE TRIGGER %1 AFTER DELETE ON job BEGIN "
                                 "INSERT OR IGNORE INTO %2 (id_job) VALUES (old.id_job); END")
                      .arg(triggers[2], changedTable);
    executeEach(m_db, statements);
}

bool SearchIndex::isBuilding()
{
    Statement building(m_db, QStringLiteral("SELECT building FROM %1").arg(stateTable));
    return building.step() && building.integer(0) != 0;
}

qint64 SearchIndex::pending()
{
    if (state() == State::Missing) {
        Statement all(m_db, QStringLiteral("SELECT count(*) FROM job"));
        return all.step() ? all.integer(0) : 0;
    }
    Statement count(m_db, QStringLiteral("SELECT (SELECT count(*) FROM %1) + "
                                         "(SELECT count(*) FROM job WHERE id_job > (SELECT seen FROM %2))")
                              .arg(changedTable, stateTable));
    return count.step() ? count.integer(0) : 0;
}

// The keys of this step: changed ones first, then the next new ones in order, so that every key up to the highest
// seen is in the index or among the changed.
qint64 SearchIndex::takeStep()
{
    executeEach(m_db, {QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (id_job INTEGER PRIMARY KEY)").arg(stepTable),
                       QStringLiteral("DELETE FROM %1").arg(stepTable),
                       QStringLiteral("INSERT INTO %1 (id_job) SELECT id_job FROM %2 ORDER BY id_job LIMIT %3")
                           .arg(stepTable, changedTable)
                           .arg(keysPerStep)});
    const int changed = sqlite3_changes(m_db);
    if (changed == keysPerStep)
        return changed;
    const QString next = QStringLiteral("SELECT id_job FROM job WHERE id_job > (SELECT seen FROM %1) "
                                        "ORDER BY id_job LIMIT %2")
                             .arg(stateTable)
                             .arg(keysPerStep - changed);
    Statement highest(m_db, QStringLiteral("SELECT max(id_job), count(*) FROM (%1)").arg(next));
    if (!highest.step() || highest.integer(1) == 0)
        return changed;
    const qint64 seen = highest.integer(0);
    const qint64 added = highest.integer(1);
    executeEach(m_db, {QStringLiteral("INSERT OR IGNORE INTO %1 (id_job) %2").arg(stepTable, next),
                       QStringLiteral("UPDATE %1 SET seen = %2").arg(stateTable).arg(seen)});
    return changed + added;
}

bool SearchIndex::step(qint64& done)
{
    // Looked at without the write lock first: a search of an index in step takes no lock at all.
    if (state() == State::Usable && !isBuilding() && !hasChanges())
        return false;
    WriteTransaction transaction(m_db);
    // Another program may have built it while the lock was awaited, or dropped it.
    if (state() == State::Missing)
        create();
    const bool building = isBuilding();
    // Rows posted since the last step, by whatever copy of the program, the older ones without the triggers too.
    executeEach(m_db, {QStringLiteral("INSERT OR IGNORE INTO %1 (id_job) SELECT id_job FROM job "
                                      "WHERE date_zap > (SELECT coalesce(stamped, -1e308) FROM %2)")
                           .arg(changedTable, stateTable),
                       QStringLiteral("UPDATE %1 SET stamped = (SELECT max(date_zap) FROM job)").arg(stateTable)});
    const qint64 taken = takeStep();
    if (taken > 0) {
        executeEach(
            m_db, {QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT id_job FROM %2)").arg(indexTable, stepTable)});
        // The first build leaves the terms to its end, when the index's own vocabulary gives them all at once.
        if (!building)
            addTerms();
        executeEach(
            m_db,
            {QStringLiteral("INSERT INTO %1 (rowid, job, other) SELECT id_job, job, other FROM job "
                            "WHERE id_job IN (SELECT id_job FROM %2)")
                 .arg(indexTable, stepTable),
             QStringLiteral("DELETE FROM %1 WHERE id_job IN (SELECT id_job FROM %2)").arg(changedTable, stepTable)});
    }
    const bool finishing = building && !hasChanges();
    if (finishing) {
        executeEach(m_db, {QStringLiteral(
                               "CREATE VIRTUAL TABLE IF NOT EXISTS temp.%1_vocabulary USING fts5vocab(main, %1, row)")
                               .arg(indexTable),
                           QStringLiteral("INSERT OR IGNORE INTO %1 (term) SELECT term FROM temp.%2_vocabulary")
                               .arg(termTable, indexTable),
                           QStringLiteral("UPDATE %1 SET building = 0").arg(stateTable)});
    }
    if (taken == 0 && !finishing)
        return false;
    transaction.commit();
    done += taken;
    return true;
}

void SearchIndex::prepare(const std::function<bool(qint64, qint64)>& progress)
{
    if (sqlite3_db_readonly(m_db, "main") == 1)
        return;
    const qint64 total = pending();
    qint64 done = 0;
    try {
        while (progress(done, total) && step(done)) {
        }
    } catch (const EngineError&) {
        // Another program held the write lock past the busy timeout: the search answers from the index as it
        // stands and the changed rows, and the next one goes on.
    }
}

// Terms are only ever added: one no row holds any more only costs a search a term that finds nothing.
void SearchIndex::addTerms()
{
    Statement rows(m_db,
                   QStringLiteral("SELECT job, other FROM job WHERE id_job IN (SELECT id_job FROM %1)").arg(stepTable));
    Statement insert(m_db, QStringLiteral("INSERT OR IGNORE INTO %1 (term) VALUES (?)").arg(termTable));
    const SearchTerms::Sink add = [&](const QByteArray& term, bool, int, int) {
        insert.bind(1, QString::fromUtf8(term));
        insert.run();
        insert.reset();
        return true;
    };
    while (rows.step()) {
        for (int c = 0; c < 2; ++c) {
            const QByteArray text = rows.utf8(c);
            m_terms.forEach(text.constData(), static_cast<int>(text.size()), SearchTerms::Stemming::On, add);
        }
    }
}

std::vector<qint64> SearchIndex::fromIndex(const Query& query, int limit)
{
    // Keys still to be brought up to date are left to the caller; a key whose row is gone is never answered.
    Statement statement(m_db, QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH ? "
                                             "AND rowid NOT IN (SELECT id_job FROM %2) "
                                             "AND EXISTS (SELECT 1 FROM job WHERE id_job = %1.rowid) "
                                             "ORDER BY rowid DESC LIMIT ?")
                                  .arg(indexTable, changedTable));
    const std::optional<QString> match = matchText(query);
    if (!match)
        return {};
    statement.bind(1, *match);
    statement.bind(2, limit);
    std::vector<qint64> found;
    while (statement.step())
        found.push_back(statement.integer(0));
    return found;
}

std::vector<qint64> SearchIndex::scan(const Query& query, const QString& sql, int limit)
{
    Statement statement(m_db, sql);
    std::vector<qint64> found;
    while (static_cast<int>(found.size()) < limit && statement.step()) {
        if (matches(query, statement.utf8(1), statement.utf8(2)))
            found.push_back(statement.integer(0));
    }
    return found;
}

std::vector<qint64> SearchIndex::withoutWriting(const Query& query, int limit)
{
    // An index still being built has its keys but not yet its terms, which a prefix is looked up in.
    if (state() == State::Missing || isBuilding())
        return scan(query, QStringLiteral("SELECT id_job, job, other FROM job ORDER BY id_job DESC"), limit);
    std::vector<qint64> found = fromIndex(query, limit);
    const std::vector<qint64> changed =
        scan(query,
             QStringLiteral("SELECT id_job, job, other FROM job WHERE id_job IN (SELECT id_job FROM %1) "
                            "OR id_job > (SELECT seen FROM %2) ORDER BY id_job DESC")
                 .arg(changedTable, stateTable),
             limit);
    found.insert(found.end(), changed.begin(), changed.end());
    std::sort(found.begin(), found.end(), std::greater<>());
    // A key both indexed and changed since is matched twice.
    found.erase(std::unique(found.begin(), found.end()), found.end());
    found.resize(std::min(found.size(), static_cast<size_t>(limit)));
    return found;
}

std::vector<qint64> SearchIndex::search(const SearchWords& words, int limit)
{
    if (words.isEmpty() || limit <= 0)
        return {};
    const Query query = queryOf(words);
    if (query.words.empty())
        return {};
    if (sqlite3_db_readonly(m_db, "main") == 1)
        return withoutWriting(query, limit);
    try {
        qint64 done = 0;
        while (step(done)) {
        }
    } catch (const EngineError&) {
        // Another program held the write lock past the busy timeout: answered now, brought up to date next time.
        return withoutWriting(query, limit);
    }
    return fromIndex(query, limit);
}
