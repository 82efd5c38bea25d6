// Every wait for the server ends: by the server's own timeouts, which the user's connection info may set, or by the
// session's deadline when the server does not answer at all; the session is usable again afterwards.
#include "DiaryFile.h"
#include "engine/postgres/ServerSession.h"
#include "support/ErrorOf.h"
#include "support/QtPrinters.h"
#include "support/ServerDatabase.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

namespace {

using namespace std::chrono_literals;

QString withOptions(const ServerDatabase& database, const char* options)
{
    return database.connectionInfo() + QStringLiteral(" options='%1'").arg(QString::fromLatin1(options));
}

QString firstText(ServerSession& session, const char* sql)
{
    const ServerResult result = session.run(sql);
    return QString::fromUtf8(result.text(0, 0));
}

// The session's deadline for one test.
struct AnswerLimit
{
    explicit AnswerLimit(std::chrono::milliseconds limit) { ServerSession::setAnswerLimit(limit); }
    ~AnswerLimit() { ServerSession::setAnswerLimit(ServerSession::defaultAnswerLimit); }
};

// A server process stopped, as a machine gone away looks; going on again when the test ends, however it ends.
struct StoppedProcess
{
    explicit StoppedProcess(pid_t process) : pid(process) { kill(pid, SIGSTOP); }
    ~StoppedProcess() { kill(pid, SIGCONT); }
    pid_t pid;
};

} // namespace

TEST(ServerWaits, TheServersTimeoutsAreTheProgramsUnlessTheUsersOptionsSetThem)
{
    const struct
    {
        const char* options;
        const char* timeouts;
    } cases[] = {
        {"", "20s 25s"},
        {"-c lock_timeout=1500", "1500ms 25s"},
        {"-c statement_timeout=0", "20s 0"},
        {"-c lock_timeout=0 -c statement_timeout=1min", "0 1min"},
    };
    const ServerDatabase database;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        ServerSession session(withOptions(database, c.options));
        EXPECT_EQ(firstText(session, "SELECT current_setting('lock_timeout') || ' ' || "
                                     "current_setting('statement_timeout')"),
                  QString::fromLatin1(c.timeouts));
    }
}

// A write waiting for a row another session holds ends by the server's timeouts and writes nothing; a read sent
// to a server process that stopped ends by the session's deadline, with the connection dropped. Once the row is let
// go or the process goes on, the same statement succeeds, on a new connection after a deadline.
TEST(ServerWaits, AStatementThatCanNotFinishEndsWithinItsLimit)
{
    const char* const write = "WITH changed AS (UPDATE event SET job = 'после' WHERE id = 1 RETURNING id) "
                              "INSERT INTO written SELECT id FROM changed";
    const struct
    {
        const char* what;
        const char* options;
        const char* statement;
        bool rowHeld;
        std::chrono::milliseconds endsAfter;
        QString error;
        const char* writtenAfterwards;
    } cases[] = {
        {"lock_timeout", "-c lock_timeout=300", write, true, 300ms,
         QStringLiteral("canceling statement due to lock timeout"), "1"},
        {"statement_timeout", "-c statement_timeout=300", write, true, 300ms,
         QStringLiteral("canceling statement due to statement timeout"), "1"},
        {"a stopped server process", "", "SELECT job FROM event", false, 1s,
         QStringLiteral("Сервер базы данных не ответил за 1 с; соединение с ним разорвано."), "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServerDatabase database;
        database.execute("CREATE TABLE event (id integer PRIMARY KEY, job text); CREATE TABLE written (id integer); "
                         "INSERT INTO event VALUES (1, 'до')");
        ServerSession session(withOptions(database, c.options));
        const QString process = firstText(session, "SELECT pg_backend_pid()");
        std::optional<StoppedProcess> stopped;
        if (c.rowHeld) {
            database.execute("BEGIN");
            database.execute("SELECT job FROM event WHERE id = 1 FOR UPDATE");
        } else {
            stopped.emplace(process.toInt());
        }
        const AnswerLimit limit(c.rowHeld ? ServerSession::defaultAnswerLimit : c.endsAfter);
        QElapsedTimer waited;
        waited.start();
        EXPECT_EQ(errorOf([&] { session.run(c.statement); }), c.error);
        EXPECT_GE(waited.elapsed(), c.endsAfter.count() - 50);
        EXPECT_LT(waited.elapsed(), c.endsAfter.count() + 3000);
        EXPECT_EQ(database.scalar("SELECT count(*) FROM written"), QStringLiteral("0"));

        if (c.rowHeld)
            database.execute("ROLLBACK");
        stopped.reset();
        session.run(c.statement);
        EXPECT_EQ(database.scalar("SELECT count(*) FROM written"), QString::fromLatin1(c.writtenAfterwards));
        EXPECT_EQ(firstText(session, "SELECT pg_backend_pid()") == process, c.rowHeld);
    }
}

// The copy tool locks the diary against other machines' writes only while it checks that the diary is empty, and
// waits for that lock briefly: a copy into a diary another machine is writing gives up with the server's reason,
// copies nothing, and copies everything once that machine is done.
TEST(ServerWaits, ACopyIntoADiaryAnotherMachineIsWritingGivesUpSoonAndCopiesNothing)
{
    const DiaryFile file;
    file.add({QStringLiteral("из файла"), QStringLiteral("ежедневное"), {2026, 4, 1}, {}, false, {}});
    const DiaryFile server(DiaryKind::Server);
    const auto rows = file.connect()->tableRows();
    const auto copy = server.connect();
    server.execute("BEGIN");
    server.execute("INSERT INTO job (job) VALUES ('с другой машины')");
    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(errorOf([&] { copy->appendTableRows(rows); }), QStringLiteral("canceling statement due to lock timeout"));
    EXPECT_GE(waited.elapsed(), 5000 - 50);
    EXPECT_LT(waited.elapsed(), 5000 + 3000);
    server.execute("ROLLBACK");
    EXPECT_EQ(server.scalar("SELECT count(*) FROM job"), QStringLiteral("0"));

    copy->appendTableRows(rows);
    EXPECT_EQ(server.scalar("SELECT string_agg(job, ',') FROM job"), QStringLiteral("из файла"));
}

// A statement known to take long (the search's index over many events) outlives both the session's deadline and the
// server's statement_timeout, and both are the same again after it.
TEST(ServerWaits, LongStatementsOutliveTheLimitsAndLeaveThemAsTheyWere)
{
    const ServerDatabase database;
    const AnswerLimit limit(std::chrono::milliseconds(500));
    ServerSession session(withOptions(database, "-c statement_timeout=300"));
    {
        const ServerSession::LongStatements patient(session, std::chrono::seconds(30));
        EXPECT_EQ(errorOf([&] { session.run("SELECT pg_sleep(0.8)"); }), QString());
    }
    EXPECT_EQ(firstText(session, "SELECT current_setting('statement_timeout')"), QStringLiteral("300ms"));
    EXPECT_NE(errorOf([&] { session.run("SELECT pg_sleep(0.8)"); }), QString());
}
