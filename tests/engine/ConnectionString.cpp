#include "DiaryFile.h"
#include "diary/DiaryBackend.h"
#include "diary/DiaryLocation.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "base/Error.h"
#include "support/CurrentDirectory.h"
#include "support/ErrorOf.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString programString =
    QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=db1.mdb;Persist Security Info=False");

} // namespace

TEST(ConnectionString, DataSourceIsFoundByKeyInAnyCaseAndMustBeAFullPath)
{
    const auto resolved = [](const QString& text) {
        QString path;
        const QString error = errorOf([&] { path = Connection::dataSourcePath(text); });
        return error.isEmpty() ? path : error;
    };
    const struct
    {
        QString text;
        QString path;
    } cases[] = {
        {programString, "The Data Source 'db1.mdb' is not a full path."},
        {"data source = /d/db1.mdb", "/d/db1.mdb"},
        {"DATA SOURCE=/d/sub/../other.mdb;Mode=Share Deny None", "/d/other.mdb"},
        {"Unknown=1;Data Source=\"/d/with space.mdb\";", "/d/with space.mdb"},
        {"Data Source=/abs/olute/db1.mdb", "/abs/olute/db1.mdb"},
        {"Data Source=sub/../db1.mdb", "The Data Source 'sub/../db1.mdb' is not a full path."},
        {"Provider=x;Persist Security Info=False", "The connection string names no Data Source."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolved(c.text), c.path) << c.text.toStdString();
}

// The diary file is opened by its full path alone: a relative one is refused even where the current directory
// holds that very file.
TEST(ConnectionString, OpensTheDiaryByItsFullPathNeverFromTheCurrentDirectory)
{
    const DiaryFile diary;
    const CurrentDirectory current(diary.folder());
    EXPECT_EQ(errorOf([] { Connection connection(DiaryBackend::open(programString), JobTable::schema()); }),
              QStringLiteral("The Data Source 'db1.mdb' is not a full path."));
    const Connection connection(DiaryBackend::open(diary.connectionString()), JobTable::schema());
    EXPECT_EQ(connection.filePath(), QDir(diary.folder()).canonicalPath() + "/db1.mdb");
}

TEST(ConnectionString, AMissingFileIsNeverCreated)
{
    const QTemporaryDir folder;
    const QString path = folder.filePath("db1.mdb");
    EXPECT_EQ(errorOf([&] {
                  Connection connection(DiaryBackend::open(JobTable::connectionString(path)), JobTable::schema());
              }),
              QStringLiteral("Could not find file '%1'.").arg(path));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(ConnectionString, FilesThatAreNoDiaryAreUnrecognized)
{
    const QTemporaryDir folder;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    };
    const auto sqliteFile = [&](const char* name, const char* sql) {
        const QString path = folder.filePath(name);
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return path;
    };
    const DiaryFile diary;
    const QString paths[] = {
        write("text.mdb", "Это не база данных, а просто текст, довольно длинный, чтобы занять заголовок файла."),
        write("empty.mdb", ""),
        sqliteFile("other.mdb", "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)"),
        sqliteFile("short.mdb", "CREATE TABLE job (id_job INTEGER PRIMARY KEY, job TEXT)"),
        sqliteFile("kinds.mdb",
                   "CREATE TABLE job (id_job INTEGER PRIMARY KEY AUTOINCREMENT, job VARCHAR(250),"
                   "date_zap TEXT, date_isp DATETIME, time_isp DATETIME, interval BOOLEAN, other LONGTEXT,"
                   "vip BOOLEAN, period VARCHAR(15), napom BOOLEAN, date_shed DATETIME, time_shed DATETIME)"),
        folder.path(),
    };
    for (const QString& path : paths) {
        EXPECT_EQ(
            errorOf([&] { Connection connection(DiaryBackend::open("Data Source=" + path), JobTable::schema()); }),
            QStringLiteral("Unrecognized database format '%1'.").arg(QDir::cleanPath(path)))
            << path.toStdString();
    }
    // An empty file stays empty: opening never turns it into a database.
    EXPECT_EQ(QFileInfo(folder.filePath("empty.mdb")).size(), 0);
}

TEST(ConnectionString, AFileLockedByAnotherProcessIsReported)
{
    const DiaryFile diary;
    sqlite3* holder = nullptr;
    sqlite3_open(diary.path().toUtf8().constData(), &holder);
    ASSERT_EQ(sqlite3_exec(holder, "PRAGMA journal_mode = DELETE; PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(
        errorOf([&] { Connection connection(DiaryBackend::open(diary.connectionString(), 0), JobTable::schema()); }),
        QStringLiteral("Could not use '%1'; file already in use.").arg(diary.path()));
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_NO_THROW(diary.connect());
}

// A server's connection info is checked before any connection is tried: none at all, one a ";" would cut short and
// one libpq can't read are each refused with what is wrong; a "Key=Value" after it is no part of it.
TEST(ConnectionString, AServersConnectionInfoIsPassedOnWholeOrRefused)
{
    const QString none = QStringLiteral("В строке подключения к серверу нет сведений о подключении: после «Data "
                                        "Source=» должно стоять, например, host=/run/postgresql dbname=diary "
                                        "user=ivan.");
    const QString cut = QStringLiteral("Сведения о подключении к серверу после «Data Source=» содержат «;», на "
                                       "которой строка подключения кончается, и сервер получил бы их не целиком. "
                                       "Такое значение можно записать в файл служб ~/.pg_service.conf и назвать его "
                                       "здесь: service=…");
    const QString unreachable = QStringLiteral("connection to server on socket \"/nonexistent/.s.PGSQL.5432\" failed");
    const struct
    {
        const char* text;
        QString error; // its beginning
    } cases[] = {
        {"Provider=PostgreSQL;Data Source=", none},
        {"Provider=PostgreSQL;Data Source=  ;", none},
        {"Provider=PostgreSQL", none},
        {"Provider=PostgreSQL;Data Source=host=/nonexistent options='-c a=1;b'", cut},
        {"Provider=PostgreSQL;Data Source=host=/nonexistent options=-ca=1;b", cut},
        {"Provider=PostgreSQL;Data Source=host=/nonexistent dbname=a b",
         "Сведения о подключении к серверу после «Data Source=» записаны с ошибкой: missing \"=\" after \"b\" in "
         "connection info string"},
        {"Provider=PostgreSQL;Data Source=host=/nonexistent dbname='a",
         "Сведения о подключении к серверу после «Data Source=» записаны с ошибкой: unterminated quoted string"},
        {"Provider=PostgreSQL;Data Source=host=/nonexistent dbname=diary;Persist Security Info=False", unreachable},
    };
    for (const auto& c : cases) {
        const QString error = errorOf([&] { DiaryBackend::open(QString::fromUtf8(c.text)); });
        EXPECT_TRUE(error.startsWith(c.error)) << c.text << "\n" << error.toStdString();
    }
    EXPECT_EQ(DiaryLocation::connectionStringOf(QStringLiteral("Provider=PostgreSQL;Data Source="), "/d"),
              QStringLiteral("Provider=PostgreSQL;Data Source="))
        << "a server's, not the path of a file";
}
