// A backup and a restore of a diary of 1,000,000 events (40-character descriptions, 100-character notes, every date
// and flag filled), against a bare copy by SQLite's online backup as `sqlite3 db1.mdb ".backup copy"` makes it. The
// restore is the whole of the menu's: the copy checked, the diary as it stands copied first, then its events made the
// copy's in one transaction. CHRONOTEKA_BACKUP_EVENTS sets a smaller diary for a quick look.
#include "BenchDiary.h"
#include "SideBySide.h"
#include "diary/DiaryBackups.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>

namespace {

DiaryRows backedUp()
{
    DiaryRows rows;
    rows.events = qEnvironmentVariableIsSet("CHRONOTEKA_BACKUP_EVENTS")
                      ? qEnvironmentVariableIntValue("CHRONOTEKA_BACKUP_EVENTS")
                      : 1'000'000;
    rows.periods = {QStringLiteral("ежедневное"), QStringLiteral("задание"), QStringLiteral("ежегодное")};
    rows.job = DiaryRows::Text::Words;
    rows.jobLength = 40;
    rows.other = DiaryRows::Text::Prose;
    rows.otherLength = 100;
    rows.dates = true;
    rows.planned = true;
    rows.reminders = true;
    return rows;
}

BenchDiary& diary()
{
    static const std::unique_ptr<BenchDiary> made = std::make_unique<BenchDiary>(backedUp());
    return *made;
}

QString copyPath()
{
    return diary().filePath(QStringLiteral("copy.mdb"));
}

// The program's copy, as the day's backup makes it.
void Backup(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(copyPath());
        state.ResumeTiming();
        DiaryBackups::copyTo(diary().connectionString(), copyPath());
    }
}

// What the sqlite3 shell's ".backup" does: SQLite's online backup from one connection into another.
void BareBackup(benchmark::State& state)
{
    const QString bare = diary().filePath(QStringLiteral("bare.mdb"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(bare);
        state.ResumeTiming();
        sqlite3* source = nullptr;
        sqlite3* target = nullptr;
        sqlite3_open_v2(QFile::encodeName(diary().path()).constData(), &source, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_open_v2(QFile::encodeName(bare).constData(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr);
        sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
        if (!backup || sqlite3_backup_step(backup, -1) != SQLITE_DONE)
            state.SkipWithError(sqlite3_errmsg(target));
        sqlite3_backup_finish(backup);
        sqlite3_close(target);
        sqlite3_close(source);
    }
}

// "Восстановить": the copy checked, the diary copied as it stands, then its events made the copy's.
void Restore(benchmark::State& state)
{
    const QString folder = diary().filePath(QStringLiteral("backups"));
    if (!QFile::exists(copyPath()))
        DiaryBackups::copyTo(diary().connectionString(), copyPath());
    for (auto _ : state) {
        state.PauseTiming();
        QDir(folder).removeRecursively();
        DiaryBackups backups(folder, diary().connectionString(), DiaryBackups::Limits());
        state.ResumeTiming();
        benchmark::DoNotOptimize(backups.restore(copyPath()));
    }
}

} // namespace

BENCHMARK(Backup)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BareBackup)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Restore)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("a diary of %d events\n", backedUp().events);
    diary();
    SideBySideReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("a backup against SQLite's bare online backup", "Backup", "BareBackup", "within 1.2");
    reporter.printRatio("a restore against SQLite's bare online backup", "Restore", "BareBackup", "within 1.5");
    benchmark::Shutdown();
}
