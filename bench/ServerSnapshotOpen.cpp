// Opening the list query over 100,000 matching rows of a diary on a PostgreSQL server: the snapshot against a bare
// libpq loop that runs the same translated statement and reads every column of every row, side by side in one run,
// and the snapshot's memory per row. Once reached through the server's Unix socket, and once through a link that
// holds every byte 25 ms each way, as a distant network does, where each extra trip to the server shows. The
// server is a private one, started for the run and stopped after it. Through the link also the list's first screen:
// the time from asking for the list to having its first 40 rows' values, and the round trips that took.
#include "BenchDiary.h"
#include "BenchServer.h"
#include "DistantLink.h"
#include "PeriodList.h"
#include "SideBySide.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/Dialect.h"
#include "engine/postgres/ServerSchema.h"
#include "engine/sqlite/SqliteSchema.h"
#include "support/ConnectionInfo.h"

#include <QLocale>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>

namespace {

// libpq connection info of the diary's database through the server's socket, and through the distant link.
QString serverDiary;
QString distantDiary;
const DistantLink* distantLink = nullptr;
// The most round trips a first screen took.
int firstScreenTrips = 0;

// The rows the main window's grid shows at once.
constexpr int screenRows = 40;

QString connectionString(const QString& diary)
{
    return QStringLiteral("Provider=PostgreSQL;Data Source=") + diary;
}

// The rows SnapshotOpen reads from the file, written to a file first and copied to the server through the engine,
// keys and all; then the table is vacuumed and analysed, so that neither side of the figure pays for setting
// the rows' hint bits or plans without statistics.
void fillServerDiary()
{
    ServerSchema::createDiary(serverDiary, JobTable::schema());
    const BenchDiary file(PeriodList::rows());
    Connection source(DiaryBackend::open(JobTable::connectionString(file.path())), JobTable::schema());
    Connection(DiaryBackend::open(connectionString(serverDiary)), JobTable::schema())
        .appendTableRows(source.tableRows());
    BenchServer::execute(serverDiary, "VACUUM (FREEZE, ANALYZE) job");
}

void openSnapshots(benchmark::State& state, const QString& diary)
{
    Connection connection(DiaryBackend::open(connectionString(diary)), JobTable::schema());
    PeriodList::openSnapshots(state, connection);
}

// What libpq alone does for the same statement: run it with the period bound as a text, as the backend binds it,
// and read every cell of every row as libpq hands it over.
void runBareLibpqLoop(benchmark::State& state, const QString& diary)
{
    const std::unique_ptr<PGconn, decltype(&PQfinish)> connection(PQconnectdb(diary.toUtf8().constData()), PQfinish);
    if (PQstatus(connection.get()) != CONNECTION_OK || PQsetClientEncoding(connection.get(), "UTF8") != 0) {
        state.SkipWithError(PQerrorMessage(connection.get()));
        return;
    }
    const Dialect::Translation translation = Dialect::translateForServer(PeriodList::text(), JobTable::schema());
    if (translation.serverParameters != std::vector<int>{0}) {
        state.SkipWithError("the list's statement takes other parameters than the period");
        return;
    }
    const QByteArray sql = translation.sql.toUtf8();
    const QByteArray period = PeriodList::period().toUtf8();
    const char* const values[] = {period.constData()};
    const int lengths[] = {static_cast<int>(period.size())};
    for (auto _ : state) {
        const std::unique_ptr<PGresult, decltype(&PQclear)> result(
            PQexecParams(connection.get(), sql.constData(), 1, nullptr, values, lengths, nullptr, 0), PQclear);
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
            state.SkipWithError(PQerrorMessage(connection.get()));
            break;
        }
        const int rows = PQntuples(result.get());
        const int columns = PQnfields(result.get());
        size_t checksum = 0;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                if (!PQgetisnull(result.get(), r, c))
                    checksum += static_cast<size_t>(PQgetlength(result.get(), r, c)) +
                                static_cast<unsigned char>(PQgetvalue(result.get(), r, c)[0]);
            }
        }
        if (rows != PeriodList::rowCount) {
            state.SkipWithError("the bare loop lost rows");
            break;
        }
        benchmark::DoNotOptimize(checksum);
    }
}

void ServerSnapshotOpen(benchmark::State& state)
{
    openSnapshots(state, serverDiary);
}

void BareLibpqLoop(benchmark::State& state)
{
    runBareLibpqLoop(state, serverDiary);
}

void DistantSnapshotOpen(benchmark::State& state)
{
    openSnapshots(state, distantDiary);
}

void DistantBareLibpqLoop(benchmark::State& state)
{
    runBareLibpqLoop(state, distantDiary);
}

// From asking for the list on an open connection to having read every value of its first screen, as the window
// shows it; the counter round_trips is the link's round trips for one such screen.
void DistantFirstScreen(benchmark::State& state)
{
    Connection connection(DiaryBackend::open(connectionString(distantDiary)), JobTable::schema());
    const QString query = PeriodList::text();
    const QList<QVariant> parameters{PeriodList::period()};
    for (auto _ : state) {
        const int before = distantLink->roundTrips();
        const auto snapshot = connection.select(query, parameters);
        if (snapshot->rowCount() != PeriodList::rowCount)
            state.SkipWithError("the list query lost rows");
        for (int row = 0; row < screenRows; ++row)
            for (int column = 0; column < snapshot->columnCount(); ++column)
                benchmark::DoNotOptimize(snapshot->value(row, column));
        const int trips = distantLink->roundTrips() - before;
        firstScreenTrips = std::max(firstScreenTrips, trips);
        state.counters["round_trips"] = trips;
    }
}

} // namespace

// Repeated, so that the figure is a ratio of medians: two processes, the benchmark and the server, share the
// machine, and a busy one slows a run of either side now and then.
BENCHMARK(ServerSnapshotOpen)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BareLibpqLoop)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(DistantSnapshotOpen)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(DistantBareLibpqLoop)->Unit(benchmark::kMillisecond)->Repetitions(5);
// Waits rather than works: real time is the figure.
BENCHMARK(DistantFirstScreen)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        BenchServer server;
        serverDiary = server.createDatabase(QStringLiteral("chronoteka_bench"));
        const DistantLink distant(server.tcpPort(), std::chrono::milliseconds(25));
        distantLink = &distant;
        distantDiary = ConnectionInfo::withKeywords(
            serverDiary, {{"host", QStringLiteral("127.0.0.1")}, {"port", QString::number(distant.port())}});
        fillServerDiary();
        SideBySideReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        // The CPU time is this process's alone: the server's work shows only in the real time.
        reporter.printRatio("server snapshot / bare libpq loop", "ServerSnapshotOpen", "BareLibpqLoop",
                            "medians; at most 2");
        reporter.printRatio("the same, 25 ms each way: server snapshot / bare libpq loop", "DistantSnapshotOpen",
                            "DistantBareLibpqLoop", "medians; at most 1.2");
        if (const auto screen = reporter.seconds("DistantFirstScreen"))
            std::printf("server diary, %s events, 25 ms each way: first screen in %d round trip(s) (at most 3), "
                        "%.3f s (median; at most 0.3)\n",
                        QLocale(QLocale::English).toString(PeriodList::rowCount).toUtf8().constData(), firstScreenTrips,
                        screen->real);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_server: %s\n", error.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
