// Searching a diary of 1,000,000 events by their words (40-character descriptions, 100-character notes of Russian
// prose). First building the index from nothing against a bare FTS5 insert loop with the same tokenizer over the
// same rows; then searches of one and of two words, warm, as typed into the search line: their median and 95th
// percentile. CHRONOTEKA_SEARCH_EVENTS sets a smaller diary for a quick look.
#include "BenchDiary.h"
#include "SideBySide.h"
#include "diary/JobTable.h"
#include "engine/SearchWords.h"
#include "engine/sqlite/SearchTokenizer.h"
#include "engine/sqlite/SqliteBackend.h"
#include "engine/sqlite/SqliteFunctions.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

BenchDiary& diary()
{
    static const std::unique_ptr<BenchDiary> made = std::make_unique<BenchDiary>(DiaryRows::searched());
    return *made;
}

// A connection of SQLite's own with the program's functions and tokenizer, closed with the object.
struct Raw
{
    sqlite3* db = nullptr;
    Raw()
    {
        sqlite3_open_v2(diary().path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        SqliteFunctions::install(db);
    }
    ~Raw() { sqlite3_close(db); }
    void execute(const char* sql) const
    {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
};

void dropIndex()
{
    const Raw raw;
    raw.execute("DROP TRIGGER IF EXISTS chronoteka_search_insert; DROP TRIGGER IF EXISTS chronoteka_search_update; "
                "DROP TRIGGER IF EXISTS chronoteka_search_delete; DROP TABLE IF EXISTS chronoteka_search; "
                "DROP TABLE IF EXISTS chronoteka_search_changed; DROP TABLE IF EXISTS chronoteka_search_state");
}

std::shared_ptr<SqliteBackend> openDiary()
{
    return SqliteBackend::open(diary().path(), JobTable::schema(), 5000);
}

// The program's first search on a diary without an index: the whole index built, then the search answered.
void IndexBuild(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        dropIndex();
        const auto backend = openDiary();
        state.ResumeTiming();
        benchmark::DoNotOptimize(backend->searchJobs(SearchWords::of(QStringLiteral("подарок ")), 1));
    }
}

// The same rows put into an FTS5 table with the same tokenizer by a bare loop in one transaction.
void BareFtsInsert(benchmark::State& state)
{
    const QByteArray create = QStringLiteral("CREATE VIRTUAL TABLE bare_search USING fts5(job, other, tokenize = "
                                             "'%1', detail = none, columnsize = 0)")
                                  .arg(QString::fromLatin1(SearchTokenizer::name))
                                  .toUtf8();
    for (auto _ : state) {
        state.PauseTiming();
        const Raw raw;
        raw.execute("DROP TABLE IF EXISTS bare_search");
        raw.execute(create.constData());
        state.ResumeTiming();
        raw.execute("BEGIN");
        sqlite3_stmt* select = nullptr;
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(raw.db, "SELECT id_job, job, other FROM job", -1, &select, nullptr);
        sqlite3_prepare_v2(raw.db, "INSERT INTO bare_search (rowid, job, other) VALUES (?, ?, ?)", -1, &insert,
                           nullptr);
        while (sqlite3_step(select) == SQLITE_ROW) {
            sqlite3_bind_int64(insert, 1, sqlite3_column_int64(select, 0));
            for (int c = 1; c <= 2; ++c)
                sqlite3_bind_text(insert, c + 1, reinterpret_cast<const char*>(sqlite3_column_text(select, c)),
                                  sqlite3_column_bytes(select, c), SQLITE_STATIC);
            if (sqlite3_step(insert) != SQLITE_DONE)
                state.SkipWithError(sqlite3_errmsg(raw.db));
            sqlite3_reset(insert);
        }
        sqlite3_finalize(select);
        sqlite3_finalize(insert);
        raw.execute("COMMIT");
        state.PauseTiming();
        raw.execute("DROP TABLE bare_search");
        state.ResumeTiming();
    }
}

// Searches as the user types them: whole words in any form, and words still being typed.
void measureSearches(const char* what, const std::vector<const char*>& typed)
{
    const auto backend = openDiary();
    constexpr int limit = 200;
    for (const char* text : typed) // warm: the index brought up to date and its pages read once
        backend->searchJobs(SearchWords::of(QString::fromUtf8(text)), limit);
    std::vector<double> milliseconds;
    double slowest = 0;
    const char* slowestText = "";
    for (int round = 0; round < 20; ++round) {
        for (const char* text : typed) {
            const SearchWords words = SearchWords::of(QString::fromUtf8(text));
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(backend->searchJobs(words, limit));
            milliseconds.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            if (milliseconds.back() > slowest) {
                slowest = milliseconds.back();
                slowestText = text;
            }
        }
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("%s over %zu searches: median %.2f ms, 95th percentile %.2f ms (within 20 ms), slowest \"%s\" "
                "%.2f ms\n",
                what, milliseconds.size(), milliseconds[milliseconds.size() / 2],
                milliseconds[milliseconds.size() * 95 / 100], slowestText, slowest);
}

} // namespace

BENCHMARK(IndexBuild)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BareFtsInsert)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("a diary of %d events\n", DiaryRows::searched().events);
    diary();
    SideBySideReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("building the index against a bare FTS5 insert loop", "IndexBuild", "BareFtsInsert",
                        "within 1.5");
    measureSearches("one word",
                    {"подарок ", "подарки ", "стоматолог ", "паспорта ", "ремонт ", "билеты ", "свадьбу ", "ветеринар ",
                     "штраф ", "банк ", "пода", "стом", "ёлка ", "анне ", "2026 ", "шины ", "корм", "презента"});
    measureSearches("two words", {"купить подарок ", "позвонить маме ", "отчёт завтра ", "продлить паспорт ",
                                  "ремонт машины ", "ёлку купить ", "счёт банк ", "встреча проект ", "позвонить врачу ",
                                  "подарки пап", "свадьба цвет", "техосмотр шины "});
    benchmark::Shutdown();
}
