// Opening the list query over 100,000 matching rows: the snapshot against a bare SQLite step loop that reads every
// column of the same translated statement, side by side in one run, and the snapshot's memory per row; then the heap
// a snapshot holds for a row out of view and for a row in view, of that list and of the list of every event in
// diaries of the start-up's kind, of 100,000 and of 1,000,000 events.
#include "BenchDiary.h"
#include "PeriodList.h"
#include "SideBySide.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "diary/Queries.h"
#include "engine/Connection.h"
#include "engine/Dialect.h"
#include "engine/sqlite/SqliteFunctions.h"

#include <QLocale>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <malloc.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

BenchDiary& diary()
{
    static BenchDiary instance(PeriodList::rows());
    return instance;
}

void SnapshotOpen(benchmark::State& state)
{
    Connection connection(DiaryBackend::open(QStringLiteral("Data Source=") + diary().path()), JobTable::schema());
    PeriodList::openSnapshots(state, connection);
}

// What SQLite alone does for the same statement: prepare, bind, step through every row touching every column.
void BareStepLoop(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(diary().path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    // The statement calls the dialect's functions and compares texts with its collation, as the program's does.
    SqliteFunctions::install(db);
    const QByteArray sql = Dialect::translate(PeriodList::text()).sql.toUtf8();
    const QByteArray periodUtf8 = PeriodList::period().toUtf8();
    for (auto _ : state) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &statement, nullptr);
        sqlite3_bind_text(statement, 1, periodUtf8.constData(), static_cast<int>(periodUtf8.size()), SQLITE_STATIC);
        int rows = 0;
        size_t checksum = 0;
        const int columns = sqlite3_column_count(statement);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(statement, c)) {
                case SQLITE_INTEGER:
                    checksum += static_cast<size_t>(sqlite3_column_int64(statement, c));
                    break;
                case SQLITE_FLOAT:
                    checksum += static_cast<size_t>(sqlite3_column_double(statement, c));
                    break;
                case SQLITE_TEXT:
                    checksum += static_cast<size_t>(sqlite3_column_bytes(statement, c)) +
                                static_cast<unsigned char>(sqlite3_column_text(statement, c)[0]);
                    break;
                default:
                    break;
                }
            }
        }
        sqlite3_finalize(statement);
        if (rows != PeriodList::rowCount)
            state.SkipWithError("the bare loop lost rows");
        benchmark::DoNotOptimize(checksum);
    }
    sqlite3_close(db);
}

// A diary as bench_fill_diary writes it for the start-up figures, one per size asked for.
BenchDiary& startUpDiary(int events)
{
    static std::map<int, std::unique_ptr<BenchDiary>> diaries;
    std::unique_ptr<BenchDiary>& diary = diaries[events];
    if (!diary) {
        DiaryRows rows;
        rows.events = events;
        rows.periods = {QStringLiteral("ежедневное"), QStringLiteral("еженедельное"), QStringLiteral("ежемесячное"),
                        QStringLiteral("ежегодное")};
        rows.other = DiaryRows::Text::Numbered;
        rows.dates = true;
        diary = std::make_unique<BenchDiary>(rows);
    }
    return *diary;
}

double heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// The rows the main window's grid shows at once.
constexpr int screenRows = 40;

// Heap a list's snapshot holds, in bytes a row.
struct RowBytes
{
    double notInView = 0; // once every row has been read once, as an export walks the list
    double sqlite = 0;    // of that, what SQLite itself took meanwhile: its page cache, whatever the rows
    double inView = 0;    // for each row of a screen read, beyond what the snapshot holds for a row not read
    double values = 0;    // the screen's own values, a row: its texts in UTF-8 and eight bytes for any other value
    int rows = 0;
};

// By the list's description, in the order measured.
std::vector<std::pair<std::string, RowBytes>> rowBytes;

// The list's query opened and walked to its end, reading every cell; then opened afresh and one screen read from
// its middle, where no reading ahead at the open reaches. A snapshot that reads every row at its open charges a
// screen's rows what it holds for any row, as all of them are in view.
void measureRows(benchmark::State& state, const std::string& list, Connection& connection, const QString& query,
                 const QList<QVariant>& parameters, int rows)
{
    RowBytes bytes;
    for (auto _ : state) {
        double before = heapInUse();
        const sqlite3_int64 sqliteBefore = sqlite3_memory_used();
        {
            const auto walked = connection.select(query, parameters);
            if (walked->rowCount() != rows)
                state.SkipWithError("the list lost rows");
            for (int row = 0; row < walked->rowCount(); ++row)
                for (int column = 0; column < walked->columnCount(); ++column)
                    benchmark::DoNotOptimize(walked->value(row, column));
            bytes.notInView = (heapInUse() - before) / rows;
            bytes.sqlite = static_cast<double>(sqlite3_memory_used() - sqliteBefore) / rows;
        }
        before = heapInUse();
        const auto shown = connection.select(query, parameters);
        // Every key listed, as the grid has them once the list is shown: a screen is then charged only its rows.
        if (shown->rowCount() != rows)
            state.SkipWithError("the list lost rows");
        const double opened = heapInUse() - before;
        // As the grid reads them: the rows in view read ahead, then their cells.
        shown->readAhead(rows / 2, screenRows);
        for (int row = rows / 2; row < rows / 2 + screenRows; ++row)
            for (int column = 0; column < shown->columnCount(); ++column)
                benchmark::DoNotOptimize(shown->value(row, column));
        const double withScreen = heapInUse() - before;
        double values = 0;
        for (int row = rows / 2; row < rows / 2 + screenRows; ++row)
            for (int column = 0; column < shown->columnCount(); ++column) {
                const QVariant& value = shown->value(row, column);
                if (value.typeId() == QMetaType::QString)
                    values += value.toString().toUtf8().size();
                else if (!value.isNull())
                    values += 8;
            }
        bytes.values = values / screenRows;
        bytes.rows = rows;
        bytes.inView = (withScreen - opened / rows * (rows - screenRows)) / screenRows;
        state.counters["bytes_per_row"] = opened / rows;
        state.counters["bytes_per_row_read"] = bytes.notInView;
        state.counters["screen_added_per_row"] = (withScreen - opened) / screenRows;
        state.counters["in_view_per_row"] = bytes.inView;
    }
    rowBytes.emplace_back(list, bytes);
}

// The period list over 100,000 rows of one period.
void PeriodListRowsKept(benchmark::State& state)
{
    Connection connection(DiaryBackend::open(QStringLiteral("Data Source=") + diary().path()), JobTable::schema());
    measureRows(state, "period list, 100,000 rows", connection, PeriodList::text(), {PeriodList::period()},
                PeriodList::rowCount);
}

// The list of every event in diaries of the start-up's kind, which the window shows at start.
void RowsOfEveryEventKept(benchmark::State& state)
{
    const int events = static_cast<int>(state.range(0));
    Connection connection(DiaryBackend::open(startUpDiary(events).connectionString()), JobTable::schema());
    measureRows(state, "every event, " + QLocale(QLocale::English).toString(events).toStdString() + " rows", connection,
                Queries::jobListAll(), {}, events);
}

} // namespace

BENCHMARK(SnapshotOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BareStepLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(PeriodListRowsKept)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(RowsOfEveryEventKept)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    diary();
    SideBySideReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("snapshot / bare step loop", "SnapshotOpen", "BareStepLoop", "at most 2");
    for (const auto& [list, bytes] : rowBytes)
        std::printf("%s: bytes a row kept for a listed row not in view %.0f (at most 16; SQLite's own heap %.0f of "
                    "it), bytes a row for rows in view %.0f (at most 300; the rows' own values take %.0f)\n",
                    list.c_str(), bytes.notInView, bytes.sqlite, bytes.inView, bytes.values);
    // What a list holds beside its rows, whatever their number (the database's page cache, the pages of rows held
    // for the screen), weighs on a list of 100,000 rows ten times as much as on one of 1,000,000: what each further
    // row costs is what the two lists of every event differ by.
    if (rowBytes.size() >= 2) {
        const RowBytes& smaller = rowBytes[rowBytes.size() - 2].second;
        const RowBytes& larger = rowBytes.back().second;
        if (larger.rows > smaller.rows)
            std::printf("every event: each row beyond %d kept %.1f bytes\n", smaller.rows,
                        (larger.notInView * larger.rows - smaller.notInView * smaller.rows) /
                            (larger.rows - smaller.rows));
    }
    benchmark::Shutdown();
    return 0;
}
