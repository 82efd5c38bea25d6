// The calendar sync against a private Radicale, started for the run. A first sync of 10,000 events into an empty
// collection against a bare loop of the same PUT requests (the same names and bodies, If-None-Match: *) sent one
// after another over one connection with Qt Network, side by side; so the ratio is what the sync adds to the
// requests it cannot do without: reading the diary, making the objects, storing the sync state. Then a sync with
// nothing changed on those 10,000 events: its time, the requests it makes, and the process's memory after one and
// after a hundred such syncs.
#include "BenchCalDav.h"
#include "BenchDiary.h"
#include "SideBySide.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/Snapshot.h"
#include "sync/CalDavClient.h"
#include "sync/SyncState.h"
#include "sync/Synchronizer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const QString diaryId = QStringLiteral("/home/user/diary");
// Nothing-changed syncs between the two readings of memory.
constexpr int quietSyncs = 100;

// CHRONOTEKA_SYNC_EVENTS of them (10,000 unless set, for a quick look); every kind of row in turn, as the
// calendar export's figure has them.
DiaryRows syncedRows()
{
    bool set = false;
    const int events = qEnvironmentVariableIntValue("CHRONOTEKA_SYNC_EVENTS", &set);
    DiaryRows rows;
    rows.events = set && events > 0 ? events : 10000;
    rows.periods = {QStringLiteral("критическое"),  QStringLiteral("ежечасное"),     QStringLiteral("ежедневное"),
                    QStringLiteral("еженедельное"), QStringLiteral("ежемесячное"),   QStringLiteral("ежеквартальное"),
                    QStringLiteral("ежегодное"),    QStringLiteral("День рождения"), QStringLiteral("Памятная дата")};
    rows.other = DiaryRows::Text::Numbered;
    rows.dates = true;
    rows.planned = true;
    return rows;
}

BenchCalDav& server()
{
    static BenchCalDav s;
    return s;
}

// A diary of those rows with a connection open on it, as the sync's thread keeps one.
struct OpenDiary
{
    OpenDiary() : file(syncedRows()), connection(DiaryBackend::open(file.connectionString()), JobTable::schema()) {}
    BenchDiary file;
    Connection connection;
};

// What one sync did, or why it failed.
struct SyncRun
{
    CalendarSync::Outcome outcome;
    int requests = 0;
};

SyncRun syncOnce(Connection& diary, const QUrl& calendar)
{
    CalDavClient client({calendar, server().user(), server().password(), {}});
    SyncRun run;
    run.outcome = Synchronizer(diary, client, diaryId).run(calendar);
    run.requests = client.requestsSent();
    return run;
}

// One PUT of the bare loop: the object's name in its collection and its text.
struct Put
{
    QString name;
    QByteArray body;
};

// The diary the nothing-changed figure syncs again and again, and the collection it was first synced with; and the
// PUTs that first sync sent, as its state keeps them.
struct Synced
{
    OpenDiary diary;
    QUrl calendar;
    std::vector<Put> puts;
};

Synced& synced()
{
    static Synced s;
    return s;
}

// Syncs the diary into its empty collection once, and reads back from the sync state the name and text of every
// object it sent: the bare loop sends exactly those. False, said on stderr, when the sync failed or sent other
// than one PUT for each event.
bool firstSync()
{
    Synced& s = synced();
    s.calendar = server().makeCalendar();
    const SyncRun run = syncOnce(s.diary.connection, s.calendar);
    if (!run.outcome.error.isEmpty()) {
        std::fprintf(stderr, "the first sync failed: %s\n", run.outcome.error.toUtf8().constData());
        return false;
    }
    const auto state = s.diary.connection.select(
        QStringLiteral("SELECT href, data FROM chronoteka_caldav_object ORDER BY id_job"), {});
    for (int row = 0; row < state->rowCount(); ++row)
        s.puts.push_back({state->value(row, 0).toString().section(u'/', -1), state->value(row, 1).toString().toUtf8()});
    const int events = syncedRows().events;
    // One listing of the empty collection, then one PUT for each event.
    if (static_cast<int>(s.puts.size()) != events || run.requests != events + 1) {
        std::fprintf(stderr, "the first sync kept %zu objects of %d events in %d requests\n", s.puts.size(), events,
                     run.requests);
        return false;
    }
    std::printf("the first sync sent %d objects in %d requests\n", events, run.requests);
    return true;
}

void BM_BarePutLoop(benchmark::State& state)
{
    const std::vector<Put>& puts = synced().puts;
    const QByteArray authorization = server().authorization();
    QNetworkAccessManager network;
    for (auto _ : state) {
        state.PauseTiming();
        const QUrl calendar = server().makeCalendar();
        state.ResumeTiming();
        for (const Put& put : puts) {
            QNetworkRequest request(calendar.resolved(QUrl(put.name)));
            request.setRawHeader("Authorization", authorization);
            request.setRawHeader("Content-Type", "text/calendar; charset=utf-8");
            request.setRawHeader("If-None-Match", "*");
            const std::unique_ptr<QNetworkReply> reply(network.sendCustomRequest(request, "PUT", put.body));
            QEventLoop loop;
            QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
            if (!reply->isFinished())
                loop.exec();
            if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 201) {
                state.SkipWithError(("a PUT failed: " + reply->errorString()).toUtf8().constData());
                return;
            }
        }
    }
    state.counters["events"] = static_cast<double>(puts.size());
}

void BM_FirstSync(benchmark::State& state)
{
    static OpenDiary diary;
    int requests = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QUrl calendar = server().makeCalendar();
        // The state of the last collection goes, so that each sync starts from a diary that never synced.
        diary.connection.writeBatch({}, [](Backend::Batch& batch) {
            SyncState::prepare(batch);
            batch.run(QStringLiteral("DELETE FROM chronoteka_caldav_object"));
            batch.run(QStringLiteral("DELETE FROM chronoteka_caldav_collection"));
        });
        state.ResumeTiming();
        const SyncRun run = syncOnce(diary.connection, calendar);
        if (!run.outcome.error.isEmpty()) {
            state.SkipWithError(run.outcome.error.toUtf8().constData());
            return;
        }
        requests = run.requests;
    }
    state.counters["events"] = syncedRows().events;
    state.counters["requests"] = requests;
}

// The heap in use and the resident set, in KiB.
struct Memory
{
    double heap = 0;
    double resident = 0;
};

Memory memoryNow()
{
    const struct mallinfo2 heap = mallinfo2();
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%*s %ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return {static_cast<double>(heap.uordblks + heap.hblkhd) / 1024,
            static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024};
}

// What the nothing-changed syncs of the last repetition saw.
struct Quiet
{
    int requests = 0;
    int diaryChanges = 0;
    Memory afterOne;
    Memory afterAll;
};

Quiet quiet;

void BM_SyncNothingChanged(benchmark::State& state)
{
    Synced& s = synced();
    int syncs = 0;
    for (auto _ : state) {
        const SyncRun run = syncOnce(s.diary.connection, s.calendar);
        if (!run.outcome.error.isEmpty()) {
            state.SkipWithError(run.outcome.error.toUtf8().constData());
            return;
        }
        quiet.requests = std::max(quiet.requests, run.requests);
        quiet.diaryChanges += run.outcome.diaryChanges;
        if (++syncs == 1)
            quiet.afterOne = memoryNow();
    }
    quiet.afterAll = memoryNow();
    state.counters["events"] = syncedRows().events;
    state.counters["requests"] = quiet.requests;
}

// Each repetition of the first sync and of its bare loop takes seconds, long enough for a busy machine to slow one
// run of the two: the figure is a ratio of medians.
BENCHMARK(BM_BarePutLoop)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_FirstSync)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_SyncNothingChanged)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(quietSyncs)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    if (::benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        if (!firstSync())
            return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    SideBySideReporter reporter;
    ::benchmark::RunSpecifiedBenchmarks(&reporter);
    const int events = syncedRows().events;
    const std::string figure = "first sync / bare PUT loop, " + std::to_string(events) + " events";
    reporter.printRatio(figure.c_str(), "BM_FirstSync", "BM_BarePutLoop", "medians; at most 1.5");
    if (const std::optional<SideBySideReporter::Seconds> seconds = reporter.seconds("BM_SyncNothingChanged")) {
        std::printf("sync with nothing changed, %d events: %.1f ms real time, %.1f ms CPU time (at most 50 ms real "
                    "time); %d request(s) at most (1), %d diary change(s)\n",
                    events, seconds->real * 1000, seconds->cpu * 1000, quiet.requests, quiet.diaryChanges);
        std::printf("memory after 1 and after %d such syncs: heap %.0f and %.0f KiB, resident %.0f and %.0f KiB "
                    "(flat)\n",
                    quietSyncs, quiet.afterOne.heap, quiet.afterAll.heap, quiet.afterOne.resident,
                    quiet.afterAll.resident);
    }
    ::benchmark::Shutdown();
    return 0;
}
