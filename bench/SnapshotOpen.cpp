// Opening the list query over 100,000 matching rows: the snapshot against a bare SQLite step loop that reads every
// column of the same translated statement, side by side in one run, and the snapshot's memory per row; then the
// memory per row of the list of every event in diaries of the start-up's kind, of 100,000 and of 1,000,000 events.
#include "BenchDiary.h"
#include "PeriodList.h"
#include "SideBySide.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "diary/Queries.h"
#include "engine/Connection.h"
#include "engine/Dialect.h"
#include "engine/sqlite/SqliteFunctions.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <malloc.h>

#include <map>
#include <memory>

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

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The heap the list of every event keeps per row once opened, and once every cell of every row has been read, as
// the rows a list shows are.
void RowsOfEveryEventKept(benchmark::State& state)
{
    const int events = static_cast<int>(state.range(0));
    Connection connection(DiaryBackend::open(startUpDiary(events).connectionString()), JobTable::schema());
    size_t before = 0;
    size_t opened = 0;
    size_t read = 0;
    for (auto _ : state) {
        before = heapInUse();
        const auto kept = connection.select(Queries::jobListAll(), {});
        opened = heapInUse();
        if (kept->rowCount() != events)
            state.SkipWithError("the list lost rows");
        for (int row = 0; row < kept->rowCount(); ++row)
            for (int column = 0; column < kept->columnCount(); ++column)
                benchmark::DoNotOptimize(kept->value(row, column));
        read = heapInUse();
    }
    state.counters["bytes_per_row"] = static_cast<double>(opened - before) / events;
    state.counters["bytes_per_row_read"] = static_cast<double>(read - before) / events;
}

} // namespace

BENCHMARK(SnapshotOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BareStepLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(RowsOfEveryEventKept)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    diary();
    SideBySideReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("snapshot / bare step loop", "SnapshotOpen", "BareStepLoop", "at most 2");
    benchmark::Shutdown();
    return 0;
}
