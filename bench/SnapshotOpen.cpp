// Opening the list query over 100,000 matching rows: the snapshot against a bare SQLite step loop that reads every
// column of the same translated statement, side by side in one run, and the snapshot's memory per row.
#include "Connection.h"
#include "DateSerial.h"
#include "Dialect.h"
#include "Queries.h"
#include "Schema.h"
#include "Snapshot.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <random>

namespace {

constexpr int rowCount = 100000;
const QString period = QStringLiteral("ежедневное");

QString listText()
{
    return Queries::jobListForPeriod().replace(QStringLiteral(":period"), QStringLiteral("?"));
}

// Text of exactly length characters, Cyrillic words as a Russian diary holds.
QString sampleText(std::mt19937& random, int length)
{
    static const QString words[] = {QStringLiteral("позвонить"), QStringLiteral("купить"), QStringLiteral("отчёт"),
                                    QStringLiteral("встреча"), QStringLiteral("в"), QStringLiteral("банк"),
                                    QStringLiteral("подарок"), QStringLiteral("Анне"), QStringLiteral("2026")};
    QString text;
    while (text.size() < length)
        text += words[random() % std::size(words)] + u' ';
    return text.left(length);
}

class Diary
{
public:
    Diary()
    {
        path = folder.filePath(QStringLiteral("db1.mdb"));
        Schema::createEmptyDatabase(path);
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO job (job, date_zap, date_isp, time_isp, interval, other, vip, period, napom, "
                           "date_shed, time_shed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                           -1, &insert, nullptr);
        std::mt19937 random(2026);
        const QByteArray periodUtf8 = period.toUtf8();
        for (int i = 0; i < rowCount; ++i) {
            const QByteArray job = sampleText(random, 40).toUtf8();
            const QByteArray other = sampleText(random, 100).toUtf8();
            const double day = 45000 + static_cast<double>(random() % 2000);
            sqlite3_bind_text(insert, 1, job.constData(), static_cast<int>(job.size()), SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 2, day + 0.5);
            sqlite3_bind_double(insert, 3, day);
            sqlite3_bind_double(insert, 4, static_cast<double>(random() % 1440) / 1440);
            sqlite3_bind_int(insert, 5, static_cast<int>(random() % 2));
            sqlite3_bind_text(insert, 6, other.constData(), static_cast<int>(other.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 7, static_cast<int>(random() % 2));
            sqlite3_bind_text(insert, 8, periodUtf8.constData(), static_cast<int>(periodUtf8.size()), SQLITE_STATIC);
            sqlite3_bind_int(insert, 9, static_cast<int>(random() % 2));
            sqlite3_bind_double(insert, 10, day - 7);
            sqlite3_bind_double(insert, 11, static_cast<double>(random() % 1440) / 1440);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    QTemporaryDir folder;
    QString path;
};

Diary& diary()
{
    static Diary instance;
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
    Connection connection(QStringLiteral("Data Source=") + diary().path);
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
    sqlite3_open_v2(diary().path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
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
