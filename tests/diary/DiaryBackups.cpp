#include "diary/DiaryBackups.h"

#include "diary/DiaryBackend.h"
#include "diary/DiaryIdentity.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "support/ErrorOf.h"
#include "support/FixedClock.h"
#include "support/InChild.h"
#include "support/QtPrinters.h"
#include "support/ServerDatabase.h"
#include "support/TempDiary.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

namespace {

// Runs SQL on a database file as another program would, with triggers on.
void sql(const QString& path, const QString& statements)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_busy_timeout(db, 5000);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, statements.toUtf8().constData(), nullptr, nullptr, &message);
    const QString text = QString::fromUtf8(message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error(text.toStdString());
}

// Every row of a table, every column as SQLite stores it (its type and value), in rowid order; empty without the table.
QStringList dump(const QString& path, const QString& table)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    QStringList rows;
    if (sqlite3_prepare_v2(db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table).toUtf8().constData(), -1,
                           &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QString row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c)
                row += QStringLiteral("%1:%2|")
                           .arg(sqlite3_column_type(statement, c))
                           .arg(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, c))));
            rows << row;
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

// The first value of the first row sql gives, as text.
QString scalar(const QString& path, const QString& select)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    QString value;
    if (sqlite3_prepare_v2(db, select.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

QString identityOf(const QString& connectionString)
{
    Connection diary(DiaryBackend::open(connectionString), JobTable::schema());
    return DiaryIdentity::of(diary);
}

// A diary of many events of every kind of value, nulls among them, with the program's own tables beside job: the
// UIDs events came with, a table of another part of the program (as undo keeps), and the sync's state.
class DiaryBackupsTest : public ::testing::Test
{
protected:
    void fill(int events)
    {
        sql(diary.databasePath(),
            QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                "INSERT INTO job (job, date_zap, date_isp, time_isp, interval, other, vip, period, napom, date_shed, "
                "time_shed) SELECT 'Событие ' || i, 45000.5 + i / 7.0, CASE WHEN i % 5 THEN 44000 + i % 900 END, "
                "CASE WHEN i % 3 THEN (i % 1440) / 1440.0 END, i % 2, CASE WHEN i % 4 THEN printf('заметка %d "
                "ёЁ\n%%s', i, hex(randomblob(8))) END, i % 3 = 0, CASE i % 4 WHEN 0 THEN 'Ежедневно' WHEN 1 THEN "
                "'Задание' ELSE 'Ежегодно' END, i % 7 = 0, CASE WHEN i % 6 THEN 44000.25 + i END, NULL FROM n;"
                "CREATE TABLE chronoteka_event_uid (id_job integer PRIMARY KEY, uid text NOT NULL);"
                "INSERT INTO chronoteka_event_uid SELECT id_job, 'uid-' || id_job FROM job WHERE id_job % 10 = 0;"
                "CREATE TABLE chronoteka_undo (step integer PRIMARY KEY, data blob);"
                "INSERT INTO chronoteka_undo VALUES (1, x'00ff10'), (2, NULL);"
                "CREATE TABLE chronoteka_caldav_object (collection text, id_job integer, digest text);"
                "INSERT INTO chronoteka_caldav_object VALUES ('c', 1, 'old');")
                .arg(events));
    }
    QString path() const { return diary.databasePath(); }
    QStringList tables(const QString& file) const
    {
        QStringList all;
        for (const char* table : {"job", "chronoteka_event_uid", "chronoteka_undo"})
            all << dump(file, QString::fromLatin1(table));
        return all;
    }

    TempDiary diary;
    QTemporaryDir data;
    QString folder = QDir(data.path()).filePath(QStringLiteral("backups"));
    DiaryBackups backups{folder, diary.connectionString(), DiaryBackups::Limits()};
};

TEST_F(DiaryBackupsTest, ARestoreBringsBackEveryColumnOfEveryEventAndTheirOwnTablesKeepingIdentityAndSyncState)
{
    constexpr int events = 50'000;
    fill(events);
    const QString identity = identityOf(diary.connectionString());
    const QStringList before = tables(path());
    QElapsedTimer timer;
    timer.start();
    const QString copy = backups.make();
    const qint64 made = timer.restart();
    EXPECT_EQ(tables(copy), before);
    EXPECT_EQ(scalar(copy, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));

    sql(path(),
        QStringLiteral("DELETE FROM job WHERE id_job % 3 = 0; UPDATE job SET other = 'правка' WHERE id_job < 50;"
                       "INSERT INTO job (job) VALUES ('новое'); DELETE FROM chronoteka_event_uid;"
                       "DROP TABLE chronoteka_undo; UPDATE chronoteka_caldav_object SET digest = 'now';"));
    const qint64 highest = scalar(path(), QStringLiteral("SELECT max(id_job) FROM job")).toLongLong();
    timer.restart();
    EXPECT_EQ(backups.restore(copy), events);
    const qint64 restored = timer.elapsed();

    EXPECT_EQ(tables(path()), before);
    EXPECT_EQ(dump(path(), QStringLiteral("chronoteka_caldav_object")), QStringList{"3:c|1:1|3:now|"});
    EXPECT_EQ(identityOf(diary.connectionString()), identity);
    EXPECT_EQ(scalar(path(), QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    // The pre-restore copy is there beside the one restored, and a new event never takes a key used before.
    EXPECT_EQ(backups.list().size(), 2u);
    EXPECT_EQ(backups.list().front().events, events - events / 3 + 1);
    diary.addRow({{"job", QStringLiteral("после")}});
    EXPECT_GT(scalar(path(), QStringLiteral("SELECT max(id_job) FROM job")).toLongLong(), highest);
    std::printf("backup of %d events: %lld ms, restore: %lld ms\n", events, static_cast<long long>(made),
                static_cast<long long>(restored));
}

TEST_F(DiaryBackupsTest, ARestoreKilledAtAnyMomentLeavesTheOldDiaryOrTheRestoredOneWhole)
{
    fill(10'000);
    const QString copy = backups.make();
    sql(path(), QStringLiteral("DELETE FROM job WHERE id_job % 2 = 0; UPDATE job SET job = 'после';"
                               "DELETE FROM chronoteka_undo;"));
    const QStringList old = tables(path());
    const QStringList restored = tables(copy);
    const auto undo = [this] {
        sql(path(), QStringLiteral("DELETE FROM job WHERE id_job % 2 = 0; UPDATE job SET job = 'после';"
                                   "DELETE FROM chronoteka_undo;"));
    };
    // How long a whole restore takes here, the copy before it included: the kills fall within it.
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(
        inChild([&] { return errorOf([&] { DiaryBackups(folder, diary.connectionString(), {}).restore(copy); }); }),
        QString());
    const qint64 takes = std::max<qint64>(timer.elapsed(), 20);
    ASSERT_EQ(tables(path()), restored);
    undo();
    ASSERT_EQ(tables(path()), old);
    int seenOld = 0;
    int seenRestored = 0;
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        if (child == 0) {
            try {
                DiaryBackups(folder, diary.connectionString(), DiaryBackups::Limits()).restore(copy);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        ::usleep(static_cast<useconds_t>(QRandomGenerator::global()->bounded(takes * 1000)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ASSERT_EQ(scalar(path(), QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok")) << round;
        const QStringList now = tables(path());
        ASSERT_TRUE(now == old || now == restored) << round;
        if (now == old) {
            ++seenOld;
        } else {
            ++seenRestored;
            undo();
            ASSERT_EQ(tables(path()), old);
        }
    }
    std::printf("killed before the commit: %d, after: %d\n", seenOld, seenRestored);
}

TEST(DiaryBackupRotation, KeepsTheLastDayAndTheNewestOfEachOfTheLastSevenDaysFourWeeksAndSixMonths)
{
    const QDateTime now(QDate(2026, 12, 9), QTime(10, 0)); // a Wednesday
    struct Case
    {
        QDateTime made;
        bool kept;
    };
    const std::vector<Case> cases = {
        {now.addSecs(3600), true},                           // a clock that was ahead
        {now, true},                                         // just made
        {now.addSecs(-3600), true},                          // earlier today: the last day is kept whole
        {now.addSecs(-23 * 3600), true},                     // yesterday, within the day
        {QDateTime(QDate(2026, 12, 8), QTime(8, 0)), false}, // older than a day, and not its day's newest
        {QDateTime(QDate(2026, 12, 3), QTime(12, 0)), true}, // the newest of six days ago
        {QDateTime(QDate(2026, 12, 3), QTime(9, 0)), false},
        {QDateTime(QDate(2026, 12, 2), QTime(12, 0)), false}, // seven days ago, and not its week's newest
        {QDateTime(QDate(2026, 11, 30), QTime(9, 0)), true},  // November's newest, though not its week's
        {QDateTime(QDate(2026, 11, 29), QTime(9, 0)), true},  // the newest of last week
        {QDateTime(QDate(2026, 11, 24), QTime(9, 0)), false},
        {QDateTime(QDate(2026, 11, 17), QTime(9, 0)), true},  // three weeks back
        {QDateTime(QDate(2026, 11, 12), QTime(9, 0)), false}, // four weeks back, and not November's newest
        {QDateTime(QDate(2026, 10, 31), QTime(9, 0)), true},  // October's newest
        {QDateTime(QDate(2026, 10, 1), QTime(9, 0)), false},
        {QDateTime(QDate(2026, 7, 15), QTime(9, 0)), true},  // July: the sixth month back
        {QDateTime(QDate(2026, 6, 30), QTime(9, 0)), false}, // June: the seventh
        {QDateTime(QDate(2025, 12, 9), QTime(9, 0)), false}, // a year ago
    };
    std::vector<QDateTime> made;
    for (const Case& c : cases)
        made.push_back(c.made);
    const std::vector<bool> kept = DiaryBackups::kept(made, now);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(kept[i], cases[i].kept) << cases[i].made.toString(Qt::ISODate).toStdString();
}

// The program's fixed clock stands for the days going by (cheaper than faking the system's time for the process).
TEST_F(DiaryBackupsTest, CopiesMadeDayAfterDayAreRotatedAndNeverTakeMoreThanTheLimit)
{
    fill(10);
    FixedClock clock(QDateTime(QDate(2026, 1, 1), QTime(9, 0)));
    for (int day = 0; day < 400; day += day < 360 ? 3 : 1) {
        clock.set(QDateTime(QDate(2026, 1, 1).addDays(day), QTime(9, 0)));
        backups.make();
    }
    // Every third day for most of a year, then every day up to 2027-02-04: that day and the 6 before it, the Sundays
    // of 3 more weeks, and the newest of each of 6 months (September's the 28th, the last of every third day).
    std::vector<QDate> days;
    for (const DiaryBackups::Backup& backup : backups.list())
        days.push_back(backup.made.date());
    const std::vector<QDate> expected = {
        QDate(2027, 2, 4),   QDate(2027, 2, 3),   QDate(2027, 2, 2),  QDate(2027, 2, 1),  QDate(2027, 1, 31),
        QDate(2027, 1, 30),  QDate(2027, 1, 29),  QDate(2027, 1, 24), QDate(2027, 1, 17), QDate(2026, 12, 31),
        QDate(2026, 11, 30), QDate(2026, 10, 31), QDate(2026, 9, 28)};
    EXPECT_EQ(days, expected);
    EXPECT_TRUE(backups.madeOn(QDate(2027, 2, 4)));
    EXPECT_FALSE(backups.madeOn(QDate(2027, 1, 28)));

    // A limit that holds two copies keeps the newest two; one that holds none keeps none and says why.
    const qint64 size = QFileInfo(backups.list().front().path).size();
    DiaryBackups small(folder, diary.connectionString(), DiaryBackups::Limits{10, 2 * size + size / 2});
    clock.set(QDateTime(QDate(2027, 2, 5), QTime(9, 0)));
    small.make();
    EXPECT_EQ(small.list().size(), 2u);
    DiaryBackups none(folder, diary.connectionString(), DiaryBackups::Limits{10, size / 2});
    EXPECT_EQ(errorOf([&] { none.make(); }).left(48),
              QStringLiteral("Не удалось сделать резервную копию ежедневника: "));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 0);
}

TEST_F(DiaryBackupsTest, AFileThatIsNotASoundCopyOfADiaryIsRefusedAndTheDiaryLeftAsItWas)
{
    fill(500);
    const QString copy = backups.make();
    const QStringList before = tables(path());
    const QString here = data.path();
    const auto file = [&here](const char* name) { return QDir(here).filePath(QString::fromLatin1(name)); };

    QFile text(file("text.mdb"));
    text.open(QIODevice::WriteOnly);
    text.write("BEGIN:VCALENDAR\n");
    text.close();
    sql(file("other.mdb"), QStringLiteral("CREATE TABLE notes (x text)"));
    QFile::copy(copy, file("newer.mdb"));
    sql(file("newer.mdb"), QStringLiteral("PRAGMA user_version = 2"));
    // Pages past the first overwritten: the header and schema read, the events' pages garbage.
    QFile::copy(copy, file("damaged.mdb"));
    QFile damaged(file("damaged.mdb"));
    damaged.open(QIODevice::ReadWrite);
    damaged.seek(damaged.size() / 2);
    damaged.write(QByteArray(8192, '\x5a'));
    damaged.close();
    ::mkfifo(QFile::encodeName(file("fifo.mdb")).constData(), 0600);

    const struct
    {
        QString path;
        QString error;
    } cases[] = {
        {file("text.mdb"), QStringLiteral("Файл «%1» — не резервная копия ежедневника.").arg(file("text.mdb"))},
        {file("other.mdb"), QStringLiteral("Файл «%1» — не резервная копия ежедневника.").arg(file("other.mdb"))},
        {file("newer.mdb"),
         QStringLiteral("Резервная копия «%1» сделана более новой версией программы; восстановить из неё может только "
                        "она.")
             .arg(file("newer.mdb"))},
        {file("damaged.mdb"),
         QStringLiteral("Резервная копия «%1» повреждена; восстановить из неё нельзя.").arg(file("damaged.mdb"))},
        {file("fifo.mdb"),
         QStringLiteral("«%1» — не обычный файл (устройство, канал или папка); восстанавливать из него нечего.")
             .arg(file("fifo.mdb"))},
        {QStringLiteral("/dev/zero"),
         QStringLiteral(
             "«/dev/zero» — не обычный файл (устройство, канал или папка); восстанавливать из него нечего.")},
    };
    for (const auto& c : cases) {
        const QString error = inChild(
            [&] { return errorOf([&] { DiaryBackups(folder, diary.connectionString(), {}).restore(c.path); }); });
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(tables(path()), before) << c.path.toStdString();
    }
}

TEST_F(DiaryBackupsTest, NewDbBacksUpAndRestoresForScripts)
{
    fill(300);
    const QStringList before = tables(path());
    const QString here = QDir(diary.folder()).canonicalPath();
    const auto run = [this](const QStringList& arguments) {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        tool.setProcessEnvironment(environment);
        tool.setWorkingDirectory(diary.folder());
        tool.start(QStringLiteral(NEWDB), arguments);
        tool.waitForFinished(60000);
        return QStringList{QString::number(tool.exitCode()), QString::fromUtf8(tool.readAllStandardOutput()),
                           QString::fromUtf8(tool.readAllStandardError())};
    };
    EXPECT_EQ(run({"--backup", "db1.mdb", "copy.mdb"}), (QStringList{"0", "", ""}));
    const QString copy = QDir(here).filePath(QStringLiteral("copy.mdb"));
    EXPECT_EQ(tables(copy), before);
    EXPECT_EQ(run({"--backup", "db1.mdb", "copy.mdb"}),
              (QStringList{"1", "", QStringLiteral("chronoteka-newdb: The file '%1' already exists.\n").arg(copy)}));

    sql(path(), QStringLiteral("DELETE FROM job WHERE id_job > 10; DROP TABLE chronoteka_undo"));
    const QStringList changed = tables(path());
    EXPECT_EQ(run({"--restore", "config.dat", "db1.mdb"}),
              (QStringList{"1", "",
                           QStringLiteral("chronoteka-newdb: Не удалось прочитать резервную копию «%1/config.dat»: "
                                          "No such file or directory\n")
                               .arg(here)}));
    EXPECT_EQ(tables(path()), changed);
    EXPECT_EQ(run({"--restore", "copy.mdb", "db1.mdb"}), (QStringList{"0", "Events restored: 300\n", ""}));
    EXPECT_EQ(tables(path()), before);
    // The diary as it stood before the restore was kept where the program keeps its copies.
    DiaryBackups kept(QDir(data.path()).filePath(QString::fromLatin1(DiaryBackups::folderName)),
                      diary.connectionString(), {});
    ASSERT_EQ(kept.list().size(), 1u);
    EXPECT_EQ(tables(kept.list().front().path), changed);
}

TEST(ServerDiaryBackup, IsADiaryFileWithEveryEventAndTheIdentity)
{
    ServerDatabase server;
    DiaryBackend::create(server.connectionString());
    server.execute(QStringLiteral("INSERT INTO job (job, other, vip) VALUES ('на сервере', 'заметка', true), "
                                  "('второе', NULL, false)"));
    QTemporaryDir data;
    DiaryBackups backups(data.path(), server.connectionString(), {});
    const QString copy = backups.make();
    const QStringList rows = dump(copy, QStringLiteral("job"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].contains(QStringLiteral("на сервере"))) << rows[0].toStdString();
    EXPECT_EQ(identityOf(JobTable::connectionString(copy)), identityOf(server.connectionString()));
    EXPECT_EQ(backups.list().front().events, 2);
    EXPECT_EQ(errorOf([&] { backups.restore(copy); }),
              QStringLiteral("Восстановить из резервной копии можно только ежедневник в файле; ежедневник на сервере "
                             "не изменён."));
}

} // namespace
