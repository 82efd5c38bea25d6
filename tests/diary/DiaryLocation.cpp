#include "diary/DiaryLocation.h"

#include "diary/JobTable.h"
#include "diary/UnitDM.h"
#include "engine/sqlite/SqliteSchema.h"
#include "support/CurrentDirectory.h"
#include "support/ErrorOf.h"
#include "support/InChild.h"
#include "support/QtPrinters.h"
#include "support/TempDiary.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

namespace {

QString configPath(const TempDiary& diary)
{
    return diary.folder() + QStringLiteral("/database.conf");
}

void writeConfig(const TempDiary& diary, const QByteArray& bytes)
{
    QFile file(configPath(diary));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The full path of the file the data module opens over the diary folder.
QString openedFile(const TempDiary& diary)
{
    const TDataModule1 module(diary.location().connectionString());
    return module.ADOConnection1.filePath();
}

} // namespace

// The process's current folder holds a diary of its own at every path the diary folder's database.conf names.
TEST(DiaryLocation, TheDataModuleOpensDb1MdbUnlessDatabaseConfNamesAnotherDiaryFromTheDiaryFolder)
{
    const TempDiary diary;
    const TempDiary decoy;
    const CurrentDirectory moved(decoy.folder());
    const QString folder = QDir(diary.folder()).canonicalPath();
    for (const TempDiary* holder : {&diary, &decoy}) {
        ASSERT_TRUE(QDir(holder->folder()).mkdir(QStringLiteral("elsewhere")));
        SqliteSchema::createEmptyDatabase(holder->folder() + QStringLiteral("/elsewhere/other.mdb"),
                                          JobTable::schema());
    }
    EXPECT_EQ(openedFile(diary), folder + QStringLiteral("/db1.mdb"));
    EXPECT_EQ(diary.location().configPath(), diary.folder() + QStringLiteral("/config.dat"));

    const struct
    {
        QByteArray config;
        QString opened;
    } cases[] = {
        // As an editor may save it: a byte order mark, blanks and a Windows line end.
        {"\xEF\xBB\xBF  Provider=Microsoft.Jet.OLEDB.4.0;Data Source=elsewhere/other.mdb \r\n", "/elsewhere/other.mdb"},
        {"elsewhere/other.mdb\n", "/elsewhere/other.mdb"},
        {"Data Source=./elsewhere/../db1.mdb", "/db1.mdb"},
        {(diary.folder() + QStringLiteral("/elsewhere/other.mdb")).toUtf8(), "/elsewhere/other.mdb"},
    };
    for (const auto& c : cases) {
        writeConfig(diary, c.config);
        EXPECT_EQ(openedFile(diary), folder + c.opened) << c.config.constData();
    }
    writeConfig(diary, "\xEF\xBB\xBFProvider=PostgreSQL;Data Source=host=/run/postgresql dbname=diary user=ivan\n");
    EXPECT_EQ(diary.location().connectionString(),
              QStringLiteral("Provider=PostgreSQL;Data Source=host=/run/postgresql dbname=diary user=ivan"));

    // A database.conf that names nothing is an error, never a quiet fall back to db1.mdb.
    writeConfig(diary, "\n");
    EXPECT_EQ(errorOf([&] { TDataModule1 module(diary.location().connectionString()); }),
              QStringLiteral("The file '%1' holds no connection string.").arg(configPath(diary)));
}

TEST(DiaryLocation, ADatabaseConfThatCantBeReadOrHoldsNothingIsAClearError)
{
    const TempDiary diary;
    const QString config = configPath(diary);
    const QString cantRead = QStringLiteral("Could not read the file '%1': %2.").arg(config);
    const QByteArray encoded = QFile::encodeName(config);
    const struct
    {
        std::function<void()> make;
        QString error;
    } cases[] = {
        {[&] { writeConfig(diary, "\xEF\xBB\xBF \r\n\t\n"); },
         QStringLiteral("The file '%1' holds no connection string.").arg(config)},
        {[&] { writeConfig(diary, QByteArray(64 * 1024 + 1, 'x')); },
         QStringLiteral("The file '%1' is too long for a connection string.").arg(config)},
        {[&] { ASSERT_TRUE(QDir().mkdir(config)); }, cantRead.arg(QStringLiteral("Is a directory"))},
        {[&] { ASSERT_EQ(::mkfifo(encoded.constData(), 0600), 0); },
         cantRead.arg(QStringLiteral("Not a regular file"))},
        {[&] { ASSERT_EQ(::symlink("db1.mdb/database.conf", encoded.constData()), 0); },
         cantRead.arg(QStringLiteral("Not a directory"))},
        {[&] { ASSERT_EQ(::symlink("nowhere", encoded.constData()), 0); },
         cantRead.arg(QStringLiteral("No such file or directory"))},
    };
    for (const auto& c : cases) {
        c.make();
        // In a child process, so that a read waiting on the FIFO fails the test instead of hanging it.
        EXPECT_EQ(inChild([&] { return errorOf([&] { diary.location(); }); }), c.error);
        QFile::remove(config);
        QDir().rmdir(config);
    }
}

// A password in database.conf is the user's alone only while the file is: one others may read is refused, as libpq
// refuses such a ~/.pgpass.
TEST(DiaryLocation, ADatabaseConfWithAPasswordOthersMayReadIsRefused)
{
    const TempDiary diary;
    const QString config = configPath(diary);
    const QString refused = QStringLiteral("Файл «%1» хранит пароль к серверу, и его могут читать другие "
                                           "пользователи. Пароль надёжнее держать в ~/.pgpass (строка "
                                           "host:port:dbname:user:password, chmod 600), а не в строке подключения; "
                                           "или закройте файл для других: chmod 600 «%1».")
                                .arg(config);
    const QByteArray withPassword = "Provider=PostgreSQL;Data Source=host=/run/postgresql dbname=diary password=x";
    const QByteArray inAddress = "Provider=PostgreSQL;Data Source=postgresql://ivan:x@localhost/diary";
    const QByteArray without = "Provider=PostgreSQL;Data Source=host=/run/postgresql dbname=diary";
    const struct
    {
        QByteArray text;
        mode_t mode;
        bool isRefused;
    } cases[] = {
        {withPassword, 0600, false}, {withPassword, 0640, true}, {withPassword, 0604, true},
        {inAddress, 0644, true},     {inAddress, 0400, false},   {without, 0644, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " " + std::to_string(c.mode));
        writeConfig(diary, c.text);
        ASSERT_EQ(::chmod(QFile::encodeName(config).constData(), c.mode), 0);
        EXPECT_EQ(errorOf([&] { diary.location(); }), c.isRefused ? refused : QString());
        QFile::remove(config);
    }
}
