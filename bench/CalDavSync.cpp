// The calendar sync against a private Radicale, started for the run. A first sync of 10,000 events into an empty
// collection against a bare loop of the same PUT requests (the same names and bodies, If-None-Match: *) sent one
// after another over one connection with Qt Network, side by side; so the ratio is what the sync adds to the
// requests it cannot do without: reading the diary, making the objects, storing the sync state. Then a sync with
// nothing changed on 10,000 events: its time, the requests it makes, and the process's memory after one and after a
// hundred such syncs.
//
// Radicale looks through every object of a collection for the UID of each new one, so a PUT takes longer the more
// the collection holds and the first sync of 10,000 events takes hours; CHRONOTEKA_SYNC_EVENTS sets how many events
// that pair of figures syncs (fewer measure the sync's own part more strictly, as the server's share is smaller).
// The nothing-changed figure's collection is filled in one request instead: the diary's own export, put as the
// whole collection, which the diary's first sync then recognises object by object by the UIDs.
#include "BenchCalDav.h"
#include "BenchDiary.h"
#include "ListedDiary.h"
#include "SideBySide.h"
#include "diary/DiaryBackend.h"
#include "diary/EventUids.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/Snapshot.h"
#include "export/IcsExport.h"
#include "sync/CalDavClient.h"
#include "sync/SyncState.h"
#include "sync/Synchronizer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
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

constexpr int quietEvents = 10000;

// Every kind of row in turn, as the calendar export's figure has them.
DiaryRows syncedRows(int events)
{
    DiaryRows rows;
    rows.events = events;
    rows.periods = {QStringLiteral("критическое"),  QStringLiteral("ежечасное"),     QStringLiteral("ежедневное"),
                    QStringLiteral("еженедельное"), QStringLiteral("ежемесячное"),   QStringLiteral("ежеквартальное"),
                    QStringLiteral("ежегодное"),    QStringLiteral("День рождения"), QStringLiteral("Памятная дата")};
    rows.other = DiaryRows::Text::Numbered;
    rows.dates = true;
    rows.planned = true;
    return rows;
}

// The first sync's events: CHRONOTEKA_SYNC_EVENTS of them, 10,000 unless set.
int firstEvents()
{
    bool set = false;
    const int events = qEnvironmentVariableIntValue("CHRONOTEKA_SYNC_EVENTS", &set);
    return set && events > 0 ? events : 10000;
}

BenchCalDav& server()
{
    static BenchCalDav s;
    return s;
}

// A diary of the first sync's rows with a connection open on it, as the sync's thread keeps one.
struct OpenDiary
{
    OpenDiary()
        : file(syncedRows(firstEvents())), connection(DiaryBackend::open(file.connectionString()), JobTable::schema())
    {
    }
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

// The PUTs of a first sync, as its state keeps them.
std::vector<Put>& firstPuts()
{
    static std::vector<Put> p;
    return p;
}

bool failed(const SyncRun& run, const char* which)
{
    if (run.outcome.error.isEmpty())
        return false;
    std::fprintf(stderr, "%s failed: %s\n", which, run.outcome.error.toUtf8().constData());
    return true;
}

// Syncs a diary into an empty collection once, and reads back from the sync state the name and text of every
// object it sent: the bare loop sends exactly those. False, said on stderr, when the sync failed or sent other
// than one PUT for each event.
bool firstSync()
{
    OpenDiary diary;
    const SyncRun run = syncOnce(diary.connection, server().makeCalendar());
    if (failed(run, "the first sync"))
        return false;
    const auto state =
        diary.connection.select(QStringLiteral("SELECT href, data FROM chronoteka_caldav_object ORDER BY id_job"), {});
    for (int row = 0; row < state->rowCount(); ++row)
        firstPuts().push_back(
            {state->value(row, 0).toString().section(u'/', -1), state->value(row, 1).toString().toUtf8()});
    const int events = firstEvents();
    // One listing of the empty collection, then one PUT for each event.
    if (static_cast<int>(firstPuts().size()) != events || run.requests != events + 1) {
        std::fprintf(stderr, "the first sync kept %zu objects of %d events in %d requests\n", firstPuts().size(),
                     events, run.requests);
        return false;
    }
    std::printf("the first sync sent %d objects in %d requests\n", events, run.requests);
    return true;
}

// The diary the nothing-changed figure syncs again and again, with the collection it is synced with.
struct Quiet
{
    Quiet()
        : diary(syncedRows(quietEvents)), connection(DiaryBackend::open(diary.connectionString()), JobTable::schema())
    {
    }
    ListedDiary diary;
    Connection connection;
    QUrl calendar;
};

Quiet& quiet()
{
    static Quiet q;
    return q;
}

// Exports the diary, puts the calendar as a whole new collection and syncs the diary with it: each object is
// recognised as its event, and nothing changes on either side. False, said on stderr, otherwise.
bool quietSync()
{
    Quiet& q = quiet();
    const QString path = q.diary.file("whole.ics");
    if (!IcsExport::write(q.diary.list(), path, EventUids(diaryId))) {
        std::fprintf(stderr, "the diary was not exported\n");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "the export is not readable\n");
        return false;
    }
    q.calendar = server().putCollection(file.readAll());
    const SyncRun run = syncOnce(q.connection, q.calendar);
    if (failed(run, "the sync with the exported calendar"))
        return false;
    const auto state = q.connection.select(QStringLiteral("SELECT count(*) FROM chronoteka_caldav_object"), {});
    const int kept = state->value(0, 0).toInt();
    if (run.outcome.diaryChanges != 0 || kept != quietEvents) {
        std::fprintf(stderr, "the sync with the exported calendar changed %d events and kept %d objects of %d\n",
                     run.outcome.diaryChanges, kept, quietEvents);
        return false;
    }
    std::printf("the sync with the exported calendar recognised %d objects in %d requests\n", kept, run.requests);
    return true;
}

void BM_BarePutLoop(benchmark::State& state)
{
    const std::vector<Put>& puts = firstPuts();
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
    state.counters["events"] = firstEvents();
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

// The one request of a sync with nothing changed sent alone, with the sync token the diary keeps: the server's share
// of the figure.
void BM_BareSyncReport(benchmark::State& state)
{
    Quiet& q = quiet();
    const auto stored = q.connection.select(QStringLiteral("SELECT sync_token FROM chronoteka_caldav_collection"), {});
    const QByteArray body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<D:sync-collection xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">"
                            "<D:sync-token>" +
                            stored->value(0, 0).toString().toUtf8() +
                            "</D:sync-token><D:sync-level>1</D:sync-level><D:prop><D:getetag/></D:prop>"
                            "</D:sync-collection>";
    const QByteArray authorization = server().authorization();
    QNetworkAccessManager network;
    for (auto _ : state) {
        QNetworkRequest request(q.calendar);
        request.setRawHeader("Authorization", authorization);
        request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
        request.setRawHeader("Depth", "0");
        const std::unique_ptr<QNetworkReply> reply(network.sendCustomRequest(request, "REPORT", body));
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 207) {
            state.SkipWithError(("the report failed: " + reply->errorString()).toUtf8().constData());
            return;
        }
    }
}

// What the nothing-changed syncs saw.
struct QuietRuns
{
    int requests = 0;
    int diaryChanges = 0;
    Memory afterOne;
    Memory afterAll;
};

QuietRuns quietRuns;

void BM_SyncNothingChanged(benchmark::State& state)
{
    Quiet& q = quiet();
    int syncs = 0;
    for (auto _ : state) {
        const SyncRun run = syncOnce(q.connection, q.calendar);
        if (!run.outcome.error.isEmpty()) {
            state.SkipWithError(run.outcome.error.toUtf8().constData());
            return;
        }
        quietRuns.requests = std::max(quietRuns.requests, run.requests);
        quietRuns.diaryChanges += run.outcome.diaryChanges;
        if (++syncs == 1)
            quietRuns.afterOne = memoryNow();
    }
    quietRuns.afterAll = memoryNow();
    state.counters["events"] = quietEvents;
    state.counters["requests"] = quietRuns.requests;
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
BENCHMARK(BM_BareSyncReport)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(quietSyncs)
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
        if (!firstSync() || !quietSync())
            return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    SideBySideReporter reporter;
    ::benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string figure = "first sync / bare PUT loop, " + std::to_string(firstEvents()) + " events";
    reporter.printRatio(figure.c_str(), "BM_FirstSync", "BM_BarePutLoop", "medians; at most 1.5");
    const std::string quietFigure =
        "sync with nothing changed / its one report alone, " + std::to_string(quietEvents) + " events";
    reporter.printRatio(quietFigure.c_str(), "BM_SyncNothingChanged", "BM_BareSyncReport", "the sync's own share");
    if (const std::optional<SideBySideReporter::Seconds> seconds = reporter.seconds("BM_SyncNothingChanged")) {
        std::printf("sync with nothing changed, %d events: %.1f ms real time, %.1f ms CPU time (at most 50 ms real "
                    "time); %d request(s) at most (1), %d diary change(s)\n",
                    quietEvents, seconds->real * 1000, seconds->cpu * 1000, quietRuns.requests, quietRuns.diaryChanges);
        std::printf("memory after 1 and after %d such syncs: heap %.0f and %.0f KiB, resident %.0f and %.0f KiB "
                    "(flat)\n",
                    quietSyncs, quietRuns.afterOne.heap, quietRuns.afterAll.heap, quietRuns.afterOne.resident,
                    quietRuns.afterAll.resident);
    }
    ::benchmark::Shutdown();
    return 0;
}
