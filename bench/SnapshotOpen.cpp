// Opening the list query over 100,000 matching rows: the snapshot against a bare SQLite step loop that reads every
// column of the same translated statement, side by side in one run, and the snapshot's memory per row.
#include "BenchDiary.h"
#include "diary/JobTable.h"
#include "diary/Queries.h"
#include "engine/Connection.h"
#include "engine/Dialect.h"
#include "engine/Snapshot.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>

namespace {

constexpr int rowCount = 100000;
const QString period = QStringLiteral("ежедневное");

QString listText()
{
    return Queries::jobListForPeriod().join(QLatin1Char(' ')).replace(QStringLiteral(":period"), QStringLiteral("?"));
}

// Every row under the one period the list asks for, with texts of the lengths a hand-typed diary holds and dates in
// no order, so the period index is walked as it would be in use.
DiaryRows listedRows()
{
    DiaryRows rows;
    rows.events = rowCount;
    rows.periods = {period};
    rows.job = DiaryRows::Text::Words;
    rows.jobLength = 40;
    rows.other = DiaryRows::Text::Words;
    rows.otherLength = 100;
    rows.dates = true;
    rows.planned = true;
    rows.reminders = true;
    rows.scattered = true;
    return rows;
}

BenchDiary& diary()
{
    static BenchDiary instance(listedRows());
    return instance;
}

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Seconds
{
    double real = 0;
    double cpu = 0;
};
std::map<std::string, Seconds> secondsPerOpen;

void SnapshotOpen(benchmark::State& state)
{
    Connection connection(QStringLiteral("Data Source=") + diary().path(), JobTable::schema());
    const QString text = listText();
    for (auto _ : state) {
        const auto snapshot = connection.select(text, {period});
        if (snapshot->rowCount() != rowCount)
            state.SkipWithError("the list query lost rows");
        benchmark::DoNotOptimize(snapshot.get());
    }
    const size_t before = heapInUse();
    const auto kept = connection.select(text, {period});
    const size_t after = heapInUse();
    state.counters["bytes_per_row"] = static_cast<double>(after - before) / kept->rowCount();
    state.counters["rows"] = kept->rowCount();
}

// What SQLite alone does for the same statement: prepare, bind, step through every row touching every column.
void BareStepLoop(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(diary().path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    // The statement calls the dialect's functions and compares texts with its collation, as the program's does.
    Dialect::installFunctions(db);
    const QByteArray sql = Dialect::translate(listText()).sql.toUtf8();
    const QByteArray periodUtf8 = period.toUtf8();
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
        if (rows != rowCount)
            state.SkipWithError("the bare loop lost rows");
        benchmark::DoNotOptimize(checksum);
    }
    sqlite3_close(db);
}

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                secondsPerOpen[run.benchmark_name()] = {run.real_accumulated_time / static_cast<double>(run.iterations),
                                                        run.cpu_accumulated_time / static_cast<double>(run.iterations)};
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

BENCHMARK(SnapshotOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BareStepLoop)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    diary();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (secondsPerOpen.count("SnapshotOpen") && secondsPerOpen.count("BareStepLoop")) {
        const Seconds snapshot = secondsPerOpen["SnapshotOpen"];
        const Seconds bare = secondsPerOpen["BareStepLoop"];
        std::printf("snapshot / bare step loop: %.2f real time, %.2f CPU time (at most 2)\n", snapshot.real / bare.real,
                    snapshot.cpu / bare.cpu);
    }
    benchmark::Shutdown();
    return 0;
}
