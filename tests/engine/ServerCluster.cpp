#include "support/QtPrinters.h"
#include "support/ServerDatabase.h"

#include <QDate>
#include <QDateTime>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <functional>
#include <memory>
#include <stdexcept>

namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

// A connection of its own to the database, as the program under test makes one.
Connection connectTo(const QString& info)
{
    return Connection(PQconnectdb(info.toUtf8().constData()), &PQfinish);
}

QString messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::runtime_error& error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

} // namespace

TEST(ServerCluster, EachDatabaseIsFreshAndItsOwn)
{
    ServerDatabase first;
    ServerDatabase second;
    EXPECT_NE(first.name(), second.name());
    first.execute("create table job (id_job integer)");
    EXPECT_EQ(first.scalar("select count(*) from pg_tables where tablename = 'job'"), "1");
    EXPECT_EQ(second.scalar("select count(*) from pg_tables where tablename = 'job'"), "0");
    EXPECT_EQ(second.scalar("show server_encoding"), "UTF8");

    EXPECT_EQ(first.connectionString(), "Provider=PostgreSQL;Data Source=" + first.connectionInfo());
    const Connection program = connectTo(second.connectionInfo());
    ASSERT_EQ(PQstatus(program.get()), CONNECTION_OK) << PQerrorMessage(program.get());
    EXPECT_EQ(QString::fromUtf8(PQdb(program.get())), second.name());
}

TEST(ServerCluster, ValuesGoInAsTextsAndComeBackAsTexts)
{
    ServerDatabase database;
    database.execute("create table job (id_job integer, name text, born date, shown timestamp, done boolean);"
                     "create table \"who?\" (id integer)");
    database.execute(
        "insert into job values (?, ?, ?, ?, ?)",
        {1, "Ёжик в тумане", QDate(2024, 2, 29), QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58, 7)), true});
    database.execute("insert into job values (?, ?, ?, ?, ?)", {2, QVariant(), QVariant(), QVariant(), false});
    const struct
    {
        const char* sql;
        QVariantList values;
        QVariant text;
    } cases[] = {
        {"select name from job where id_job = ?", {1}, "Ёжик в тумане"},
        {"select length(name) from job where id_job = ?", {1}, "13"},
        {"select id_job from job where name = ?", {"ёжик в тумане"}, QVariant()},
        {"select born from job where id_job = ?", {1}, "2024-02-29"},
        {"select shown from job where id_job = ?", {1}, "1999-12-31 23:59:58.007"},
        {"select done from job where id_job = ?", {1}, "t"},
        {"select done from job where id_job = ?", {2}, "f"},
        {"select name from job where id_job = ?", {2}, QVariant()},
        {"select count(*) from job where born is null and id_job = ?", {2}, "1"},
        {"select '?' || ? || '''?'''", {"x"}, "?x'?'"},
        {"select count(*) from \"who?\" where id = ?", {0}, "0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(database.scalar(c.sql, c.values), c.text) << c.sql;
}

TEST(ServerCluster, FailuresCarryTheServersMessage)
{
    ServerDatabase database;
    EXPECT_EQ(messageOf([&] { database.execute("insert into nothing values (?)", {1}); }),
              QStringLiteral("relation \"nothing\" does not exist"));
    EXPECT_EQ(messageOf([&] { database.execute("select 1; select nothing"); }),
              QStringLiteral("column \"nothing\" does not exist"));
    const auto tooManyValues = [&] { database.scalar("select ? = '?'", {1, 2}); };
    EXPECT_EQ(messageOf(tooManyValues), QStringLiteral("1 markers for 2 values in: select ? = '?'"));

    const QByteArray server = qgetenv("CHRONOTEKA_TEST_SERVER");
    qunsetenv("CHRONOTEKA_TEST_SERVER");
    const QString unset = messageOf([] { ServerDatabase database; });
    qputenv("CHRONOTEKA_TEST_SERVER", server);
    EXPECT_EQ(unset, QStringLiteral("CHRONOTEKA_TEST_SERVER is not set: run the tests through ctest"));
}

TEST(ServerCluster, TheDatabaseIsDroppedWithConnectionsLeftOpen)
{
    QString name;
    Connection program(nullptr, &PQfinish);
    {
        ServerDatabase database;
        name = database.name();
        program = connectTo(database.connectionInfo());
        ASSERT_EQ(PQstatus(program.get()), CONNECTION_OK) << PQerrorMessage(program.get());
    }
    ServerDatabase other;
    EXPECT_EQ(other.scalar("select count(*) from pg_database where datname = ?", {name}), QVariant("0"));
    const std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(program.get(), "select 1"), &PQclear);
    EXPECT_NE(PQresultStatus(result.get()), PGRES_TUPLES_OK);
}
