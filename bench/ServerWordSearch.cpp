// Searching a diary of 1,000,000 events on a PostgreSQL server by their words (the same rows as the file's search
// figure): the program's search through the GIN index against a bare libpq loop running the same search statement
// with the query the program makes, side by side in one run, warm. CHRONOTEKA_SEARCH_EVENTS sets a smaller diary.
#include "BenchDiary.h"
#include "BenchServer.h"
#include "SideBySide.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Backend.h"
#include "engine/Connection.h"
#include "engine/SearchWords.h"
#include "engine/postgres/ServerSchema.h"
#include "engine/postgres/ServerSearch.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

QString serverDiary;

const char* const typed[] = {"подарок ",    "стоматолог ", "паспорта ",       "ремонт ",           "пода",
                             "ёлка ",       "2026 ",       "купить подарок ", "продлить паспорт ", "ремонт машины ",
                             "подарки пап", "счёт банк "};

using Server = std::unique_ptr<PGconn, decltype(&PQfinish)>;

Server connect()
{
    Server connection(PQconnectdb(serverDiary.toUtf8().constData()), PQfinish);
    if (PQstatus(connection.get()) != CONNECTION_OK || PQsetClientEncoding(connection.get(), "UTF8") != 0)
        throw std::runtime_error(PQerrorMessage(connection.get()));
    return connection;
}

void run(PGconn* connection, const QByteArray& sql, const std::vector<QByteArray>& parameters)
{
    std::vector<const char*> values;
    for (const QByteArray& parameter : parameters)
        values.push_back(parameter.constData());
    const std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexecParams(connection, sql.constData(),
                                                                            static_cast<int>(values.size()), nullptr,
                                                                            values.data(), nullptr, nullptr, 0),
                                                               PQclear);
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        throw std::runtime_error(PQerrorMessage(connection));
}

// The file figure's rows, written to a file and sent on in batches; then the index is made and the table analysed.
void fillServerDiary()
{
    ServerSchema::createDiary(serverDiary, JobTable::schema());
    const BenchDiary file(DiaryRows::searched());
    const Server server = connect();
    run(server.get(), "DROP INDEX job_search", {});
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.path().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT job, other FROM job ORDER BY id_job", -1, &select, nullptr);
    constexpr int batch = 1000;
    std::vector<QByteArray> parameters;
    QStringList tuples;
    const auto flush = [&] {
        if (tuples.isEmpty())
            return;
        run(server.get(), ("INSERT INTO job (job, other) VALUES " + tuples.join(u',')).toUtf8(), parameters);
        parameters.clear();
        tuples.clear();
    };
    while (sqlite3_step(select) == SQLITE_ROW) {
        for (int c = 0; c < 2; ++c)
            parameters.push_back(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(select, c))));
        tuples << QStringLiteral("($%1, $%2)").arg(parameters.size() - 1).arg(parameters.size());
        if (tuples.size() == batch)
            flush();
    }
    flush();
    sqlite3_finalize(select);
    sqlite3_close(db);
    // The program's first search makes the index.
    Connection(DiaryBackend::open(QStringLiteral("Provider=PostgreSQL;Data Source=") + serverDiary), JobTable::schema())
        .backend()
        .prepareSearch([](qint64, qint64) { return true; });
    BenchServer::execute(serverDiary, "VACUUM (FREEZE, ANALYZE) job");
}

constexpr int limit = 200;

void ServerWordSearch(benchmark::State& state)
{
    Connection connection(DiaryBackend::open(QStringLiteral("Provider=PostgreSQL;Data Source=") + serverDiary),
                          JobTable::schema());
    for (auto _ : state) {
        for (const char* text : typed)
            benchmark::DoNotOptimize(connection.searchJobs(SearchWords::of(QString::fromUtf8(text)), limit));
    }
}

// What libpq alone does for the same search: the statement the program runs, with the query it makes from the
// words, every key read.
void BareLibpqSearch(benchmark::State& state)
{
    const Server server = connect();
    const QByteArray sql = ServerSearch::statement(QStringLiteral("job"), QStringLiteral("id_job"),
                                                   QLatin1String(ServerSearch::configuration));
    std::vector<QByteArray> queries;
    for (const char* text : typed) {
        const SearchWords words = SearchWords::of(QString::fromUtf8(text));
        std::vector<const char*> values;
        std::vector<QByteArray> texts;
        for (const QString& word : words.words)
            texts.push_back(word.toUtf8());
        for (const QByteArray& text : texts)
            values.push_back(text.constData());
        const std::unique_ptr<PGresult, decltype(&PQclear)> split(
            PQexecParams(server.get(),
                         ServerSearch::lexemesStatement(QLatin1String(ServerSearch::configuration),
                                                        static_cast<int>(values.size()))
                             .constData(),
                         static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0),
            PQclear);
        std::vector<std::pair<int, QString>> lexemes;
        for (int r = 0; r < PQntuples(split.get()); ++r)
            lexemes.emplace_back(std::atoi(PQgetvalue(split.get(), r, 0)),
                                 QString::fromUtf8(PQgetvalue(split.get(), r, 1)));
        queries.push_back(
            ServerSearch::queryText(lexemes, words.lastIsPrefix ? static_cast<int>(words.words.size()) : 0));
    }
    const QByteArray most = QByteArray::number(limit);
    for (auto _ : state) {
        for (const QByteArray& query : queries) {
            const char* const values[] = {most.constData(), query.constData()};
            const std::unique_ptr<PGresult, decltype(&PQclear)> result(
                PQexecParams(server.get(), sql.constData(), 2, nullptr, values, nullptr, nullptr, 0), PQclear);
            qint64 sum = 0;
            for (int r = 0; r < PQntuples(result.get()); ++r)
                sum += std::atoll(PQgetvalue(result.get(), r, 0));
            benchmark::DoNotOptimize(sum);
        }
    }
}

} // namespace

BENCHMARK(ServerWordSearch)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BareLibpqSearch)->Unit(benchmark::kMillisecond)->Repetitions(5);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        BenchServer server;
        serverDiary = server.createDatabase(QStringLiteral("chronoteka_bench"));
        std::printf("a diary of %d events on the server\n", DiaryRows::searched().events);
        fillServerDiary();
        SideBySideReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        reporter.printRatio("server search / bare libpq loop running the same search", "ServerWordSearch",
                            "BareLibpqSearch", "medians; at most 2");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_server_search: %s\n", error.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
