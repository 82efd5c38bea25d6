// The events' own alarms. First, how late the reminder window comes after an alarm's minute: 100 alarms a minute
// apart, the engine clock driven by the benchmark from just before each one, the whole program's path from the
// timer to the window shown. Then what planning costs at a change (a write, a resume, a new system time): re-reading
// and planning N events with a timer (N = 10, 1000, 100000) against a bare SQLite loop over the same select, whose
// ratio staying flat as N grows shows the cost growing with the events with a timer and nothing more.
#include "BenchDiary.h"
#include "SideBySide.h"
#include "app/Singletons.h"
#include "base/Clock.h"
#include "diary/DiaryLocation.h"
#include "diary/JobTable.h"
#include "diary/Period.h"
#include "diary/Queries.h"
#include "diary/UnitDM.h"
#include "engine/Dialect.h"
#include "engine/sqlite/SqliteFunctions.h"
#include "platform/SystemTrayIcon.h"
#include "reminders/AlarmScheduler.h"
#include "settings/ProgramSettings.h"
#include "units/UnitShedul.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int alarmCount = 100;
const QDateTime firstAlarm(QDate(2026, 12, 7), QTime(9, 0));

void execute(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// Every event with its timer on and not done.
std::unique_ptr<BenchDiary> timedDiary(int events, const QStringList& periods)
{
    DiaryRows rows;
    rows.events = events;
    rows.periods = periods;
    rows.dates = true;
    rows.planned = true;
    rows.reminders = true;
    rows.scattered = true;
    auto diary = std::make_unique<BenchDiary>(rows);
    execute(diary->path(), "update job set napom = 1, vip = 0");
    return diary;
}

// Shows the window's Show events to the loop that waits for them.
class ShowWatch : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && loop)
            loop->quit();
        return QObject::eventFilter(watched, event);
    }
    QEventLoop* loop = nullptr;
};

// The delay from each alarm's minute to its window, in milliseconds of the driven clock.
void measureDelay()
{
    BenchDiary diary(DiaryRows{alarmCount, {QStringLiteral("ежедневное")}});
    // Alarm i rings at 9:00 + i minutes, daily.
    execute(diary.path(), "update job set napom = 1, vip = 0, date_shed = null, "
                          "time_shed = (540 + id_job - (select min(id_job) from job)) / 1440.0");
    Clock::setFixed(firstAlarm.addSecs(-3600));
    SystemTrayIcon tray{QIcon(), QString()};
    Singletons program(DiaryLocation(QFileInfo(diary.path()).absolutePath()), tray);
    TFormShedul& window = program.reminderWindow();
    ShowWatch watch;
    window.installEventFilter(&watch);
    QApplication::processEvents(); // the first plan

    // The engine clock follows real time from a moment set before each alarm.
    QDateTime base;
    QElapsedTimer elapsed;
    QTimer driver;
    driver.setTimerType(Qt::PreciseTimer);
    driver.setInterval(1);
    QObject::connect(&driver, &QTimer::timeout, [&] { Clock::setFixed(base.addMSecs(elapsed.elapsed())); });
    driver.start();

    std::vector<double> delays;
    qint64 waitAfterAlarm = -1;
    for (int i = 0; i < alarmCount; ++i) {
        const QDateTime alarm = firstAlarm.addSecs(60 * i);
        window.hide();
        base = alarm.addMSecs(-30);
        elapsed.start();
        Clock::setFixed(base);
        program.alarms().replan(); // as after a write: the timer is armed for the alarm
        QEventLoop loop;
        watch.loop = &loop;
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        loop.exec();
        watch.loop = nullptr;
        const qint64 late = alarm.msecsTo(base.addMSecs(elapsed.elapsed()));
        delays.push_back(window.isVisible() ? static_cast<double>(late) : 1e9);
        if (i == 0)
            waitAfterAlarm = program.alarms().timerWait();
    }
    driver.stop();
    std::sort(delays.begin(), delays.end());
    std::printf("alarm to window over %d alarms: median %.0f ms, slowest %.0f ms (within 1000 ms)\n", alarmCount,
                delays[delays.size() / 2], delays.back());
    std::printf("the timer's wait after an alarm: %lld ms, the next alarm's minute (no polling between alarms)\n",
                static_cast<long long>(waitAfterAlarm));
    Clock::reset();
}

const int plannedCounts[] = {10, 1000, 100000};

BenchDiary& plannedDiary(int events)
{
    static std::map<int, std::unique_ptr<BenchDiary>> diaries;
    auto& diary = diaries[events];
    if (!diary) {
        QStringList periods;
        for (const Period& period : Period::all())
            periods << period.text();
        diary = timedDiary(events, periods);
    }
    return *diary;
}

void Replan(benchmark::State& state, int events)
{
    BenchDiary& diary = plannedDiary(events);
    Clock::setFixed(firstAlarm);
    TDataModule1 module(diary.connectionString());
    ProgramSettings settings(diary.filePath(QStringLiteral("chronoteka.conf")));
    AlarmScheduler scheduler(module, settings);
    scheduler.replan(); // rings nothing: the first plan starts from now
    for (auto _ : state) {
        scheduler.replan();
        benchmark::DoNotOptimize(scheduler.nextDue());
    }
    state.counters["us_per_event"] = benchmark::Counter(static_cast<double>(state.iterations()) * events,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                                                        benchmark::Counter::OneK::kIs1000);
    Clock::reset();
}

// The same select stepped through by SQLite alone, every column read.
void BareSelect(benchmark::State& state, int events)
{
    BenchDiary& diary = plannedDiary(events);
    sqlite3* db = nullptr;
    sqlite3_open_v2(diary.path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    SqliteFunctions::install(db);
    const QByteArray sql = Dialect::translate(Queries::timedEvents()).sql.toUtf8();
    for (auto _ : state) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &statement, nullptr);
        double checksum = 0;
        const int columns = sqlite3_column_count(statement);
        int rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < columns; ++c)
                checksum += sqlite3_column_double(statement, c) + sqlite3_column_bytes(statement, c);
        }
        sqlite3_finalize(statement);
        if (rows != events)
            state.SkipWithError("the bare loop lost rows");
        benchmark::DoNotOptimize(checksum);
    }
    sqlite3_close(db);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    measureDelay();
    // Named apart, as the ratios are taken between benchmarks by name.
    for (int events : plannedCounts) {
        const std::string n = std::to_string(events);
        benchmark::RegisterBenchmark(("Replan" + n).c_str(), Replan, events)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BareSelect" + n).c_str(), BareSelect, events)->Unit(benchmark::kMicrosecond);
    }
    SideBySideReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int events : plannedCounts) {
        const std::string n = std::to_string(events);
        const std::string what = "re-planning " + n + " events with a timer / bare select";
        reporter.printRatio(what.c_str(), "Replan" + n, "BareSelect" + n, "a few, as the events grow");
    }
    benchmark::Shutdown();
    return 0;
}
