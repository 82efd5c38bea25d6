#include "diary/DiaryLocation.h"

#include "diary/JobTable.h"
#include "diary/UnitDM.h"
#include "engine/sqlite/SqliteSchema.h"
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

QString configPath()
{
    return QDir::currentPath() + QStringLiteral("/database.conf");
}

void writeConfig(const QByteArray& bytes)
{
    QFile file(configPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The full path of the file the data module opens.
QString openedFile()
{
    const TDataModule1 module;
    return module.ADOConnection1.filePath();
}

} // namespace

TEST(DiaryLocation, TheDataModuleOpensDb1MdbUnlessDatabaseConfNamesAnotherDiary)
{
    const TempDiary diary;
    const QString folder = QDir::current().canonicalPath();
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("elsewhere")));
    SqliteSchema::createEmptyDatabase(QStringLiteral("elsewhere/other.mdb"), JobTable::schema());
    EXPECT_EQ(openedFile(), folder + QStringLiteral("/db1.mdb"));

    // As an editor may save it: a byte order mark, blanks and a Windows line end.
    writeConfig("\xEF\xBB\xBF  Provider=Microsoft.Jet.OLEDB.4.0;Data Source=elsewhere/other.mdb \r\n");
    EXPECT_EQ(openedFile(), folder + QStringLiteral("/elsewhere/other.mdb"));
    writeConfig("elsewhere/other.mdb\n");
    EXPECT_EQ(openedFile(), folder + QStringLiteral("/elsewhere/other.mdb"));
    writeConfig("\xEF\xBB\xBFProvider=PostgreSQL;Data Source=host=/run/postgresql dbname=diary user=ivan\n");
    EXPECT_EQ(DiaryLocation::connectionString(),
              QStringLiteral("Provider=PostgreSQL;Data Source=host=/run/postgresql dbname=diary user=ivan"));

    // A database.conf that names nothing is an error, never a quiet fall back to db1.mdb.
    writeConfig("\n");
    EXPECT_EQ(errorOf([] { TDataModule1 module; }),
              QStringLiteral("The file '%1' holds no connection string.").arg(configPath()));
    EXPECT_EQ(DataModule1, nullptr);
}

TEST(DiaryLocation, ADatabaseConfThatCantBeReadOrHoldsNothingIsAClearError)
{
    const TempDiary diary;
    const QString cantRead = QStringLiteral("Could not read the file '%1': %2.").arg(configPath());
    const QByteArray config = QFile::encodeName(configPath());
    const struct
    {
        std::function<void()> make;
        QString error;
    } cases[] = {
        {[] { writeConfig("\xEF\xBB\xBF \r\n\t\n"); },
         QStringLiteral("The file '%1' holds no connection string.").arg(configPath())},
        {[] { writeConfig(QByteArray(64 * 1024 + 1, 'x')); },
         QStringLiteral("The file '%1' is too long for a connection string.").arg(configPath())},
        {[] { ASSERT_TRUE(QDir().mkdir(configPath())); }, cantRead.arg(QStringLiteral("Is a directory"))},
        {[&] { ASSERT_EQ(::mkfifo(config.constData(), 0600), 0); }, cantRead.arg(QStringLiteral("Not a regular file"))},
        {[&] { ASSERT_EQ(::symlink("db1.mdb/database.conf", config.constData()), 0); },
         cantRead.arg(QStringLiteral("Not a directory"))},
        {[&] { ASSERT_EQ(::symlink("nowhere", config.constData()), 0); },
         cantRead.arg(QStringLiteral("No such file or directory"))},
    };
    for (const auto& c : cases) {
        c.make();
        // In a child process, so that a read waiting on the FIFO fails the test instead of hanging it.
        EXPECT_EQ(inChild([] { return errorOf([] { DiaryLocation::connectionString(); }); }), c.error);
        QFile::remove(configPath());
        QDir().rmdir(configPath());
    }
}
