// Diaries the program did not make: triggers, views, texts no UTF-8 can hold, a disk the program may only read.
#include "DiaryFile.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "base/Error.h"
#include "engine/Snapshot.h"
#include "support/ErrorOf.h"
#include "support/InChild.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString tooSmall = QStringLiteral("The field is too small to accept the amount of data you attempted to add.  "
                                        "Try inserting or pasting less data.");
const QString halfCharacter = QStringLiteral("The text holds half of a character and cannot be stored.");

QString emoji(int count)
{
    return QString::fromUtf8("\xF0\x9F\x98\x80").repeated(count); // U+1F600, two UTF-16 units
}

// The error opening a diary meets in a child process that may not write it; the child is root no more.
QString errorOfUnprivilegedOpen(const QString& connectionString)
{
    return inChild([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            return QStringLiteral("could not drop root");
        return errorOf([&] { Connection connection(DiaryBackend::open(connectionString), JobTable::schema()); });
    });
}

} // namespace

TEST(ForeignDiaries, TriggersDoNotRunOnTheUsersEdits)
{
    DiaryFile diary;
    const qint64 edited = diary.execute("INSERT INTO job (job) VALUES (?)", {QStringLiteral("first")});
    diary.execute("INSERT INTO job (job) VALUES (?)", {QStringLiteral("second")});
    diary.execute("INSERT INTO job (job) VALUES (?)", {QStringLiteral("third")});
    diary.execute("CREATE TRIGGER wipe AFTER UPDATE ON job BEGIN DELETE FROM job WHERE id_job <> new.id_job; END");
    diary.execute("CREATE TRIGGER stamp AFTER INSERT ON job BEGIN UPDATE job SET other = 'stamped'; END");

    const auto connection = diary.connect();
    const auto list = connection->select(QStringLiteral("select * from job order by id_job"), {});
    list->updateRow(0, {{list->columnIndex(QStringLiteral("job")), QStringLiteral("edited")}});
    list->insertRow(3, {{list->columnIndex(QStringLiteral("job")), QStringLiteral("fourth")}});

    EXPECT_EQ(diary.scalar("SELECT count(*) FROM job"), QStringLiteral("4"));
    EXPECT_EQ(diary.scalar("SELECT job FROM job WHERE id_job = ?", {edited}), QStringLiteral("edited"));
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM job WHERE other = 'stamped'"), QStringLiteral("0"));
}

TEST(ForeignDiaries, ViewsAreReadButNeverWrittenThroughTheirTriggers)
{
    DiaryFile diary;
    diary.execute("INSERT INTO job (job) VALUES (?)", {QStringLiteral("kept")});
    diary.execute("CREATE VIEW done AS SELECT id_job AS id, job AS title FROM job");
    diary.execute("CREATE TRIGGER done_update INSTEAD OF UPDATE ON done BEGIN DELETE FROM job; END");

    const auto connection = diary.connect();
    const auto view = connection->select(QStringLiteral("select distinct title from done"), {});
    ASSERT_EQ(view->rowCount(), 1);
    EXPECT_EQ(view->value(0, 0), QVariant(QStringLiteral("kept")));
    EXPECT_EQ(errorOf([&] {
                  view->updateRow(0, {{0, QStringLiteral("changed")}});
              }),
              QStringLiteral("Operation must use an updateable query."));
    EXPECT_EQ(diary.scalar("SELECT job FROM job"), QStringLiteral("kept"));
}

TEST(ForeignDiaries, TextsAreCountedInCharactersAndMustHaveAUtf8Form)
{
    DiaryFile diary;
    const auto connection = diary.connect();
    const auto list = connection->select(QStringLiteral("select * from job"), {});
    const int job = list->columnIndex(QStringLiteral("job"));
    const int period = list->columnIndex(QStringLiteral("period"));
    const int other = list->columnIndex(QStringLiteral("other"));
    const QString lone = QString(QChar(0xD83D)); // a high surrogate without its low one
    const struct
    {
        const char* name;
        Snapshot::Values values;
        QString error;
    } cases[] = {
        {"250 emoji fill the job column", {{job, emoji(250)}}, {}},
        {"251 emoji do not", {{job, emoji(251)}}, tooSmall},
        {"15 emoji fill the period", {{period, emoji(15)}}, {}},
        {"a lone high surrogate at the end", {{job, QStringLiteral("a") + emoji(124) + lone}}, halfCharacter},
        {"a lone low surrogate in a memo", {{other, QString(QChar(0xDE00)) + QStringLiteral("b")}}, halfCharacter},
        {"a pair in the wrong order", {{other, QString(QChar(0xDE00)) + lone}}, halfCharacter},
    };
    int rows = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(errorOf([&] { list->insertRow(list->rowCount(), c.values); }), c.error) << c.name;
        if (c.error.isEmpty())
            ++rows;
        EXPECT_EQ(diary.scalar("SELECT count(*) FROM job"), QString::number(rows)) << c.name;
    }
    // What was stored is valid UTF-8 that SQLite itself counts the same way.
    EXPECT_EQ(diary.scalar("SELECT length(job) FROM job WHERE job IS NOT NULL"), QStringLiteral("250"));
    EXPECT_EQ(diary.scalar("SELECT length(period) FROM job WHERE period IS NOT NULL"), QStringLiteral("15"));
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM job WHERE job = ?", {emoji(250)}), QStringLiteral("1"));
}

TEST(ForeignDiaries, AValidDiaryOnAReadOnlyDiskNeedsPermissionToWrite)
{
    // The program's diaries keep a write-ahead log; reading one takes a file beside it that can't be made here.
    const QTemporaryDir folder;
    const QString disk = folder.filePath(QStringLiteral("disk"));
    ASSERT_TRUE(QDir().mkpath(disk));
    const QString path = disk + QStringLiteral("/db1.mdb");
    const QString junk = disk + QStringLiteral("/junk.mdb");
    const auto makeFiles = [&] {
        SqliteSchema::createEmptyDatabase(path, JobTable::schema());
        QFile file(junk);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    };
    const QString cannotOpen = QStringLiteral("Could not open '%1': it needs permission to read and write.").arg(path);
    const QString unrecognized = QStringLiteral("Unrecognized database format '%1'.").arg(junk);

    if (geteuid() == 0) {
        // Root writes any file it may open; a read-only mount stops even root. Where mounting is not allowed, a
        // child that gave up root meets the same refusal from the file's permissions.
        if (::mount("chronoteka", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=2m") == 0) {
            makeFiles();
            ASSERT_EQ(::mount(nullptr, QFile::encodeName(disk).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr),
                      0);
            const QString error = errorOf([&] {
                Connection connection(DiaryBackend::open(QStringLiteral("Data Source=") + path), JobTable::schema());
            });
            const QString junkError = errorOf([&] {
                Connection connection(DiaryBackend::open(QStringLiteral("Data Source=") + junk), JobTable::schema());
            });
            ::umount(QFile::encodeName(disk).constData());
            EXPECT_EQ(error, cannotOpen);
            EXPECT_EQ(junkError, unrecognized);
            return;
        }
        makeFiles();
        ASSERT_TRUE(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                             QFile::ReadOther | QFile::ExeOther));
        ASSERT_TRUE(QFile::setPermissions(disk, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                    QFile::ReadOther | QFile::ExeOther));
        for (const QString& file : {path, junk})
            ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        EXPECT_EQ(errorOfUnprivilegedOpen(QStringLiteral("Data Source=") + path), cannotOpen);
        EXPECT_EQ(errorOfUnprivilegedOpen(QStringLiteral("Data Source=") + junk), unrecognized);
        return;
    }
    makeFiles();
    for (const QString& file : {path, junk})
        ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner));
    ASSERT_TRUE(QFile::setPermissions(disk, QFile::ReadOwner | QFile::ExeOwner));
    const QString error = errorOf(
        [&] { Connection connection(DiaryBackend::open(QStringLiteral("Data Source=") + path), JobTable::schema()); });
    const QString junkError = errorOf(
        [&] { Connection connection(DiaryBackend::open(QStringLiteral("Data Source=") + junk), JobTable::schema()); });
    QFile::setPermissions(disk, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(error, cannotOpen);
    EXPECT_EQ(junkError, unrecognized);
}
