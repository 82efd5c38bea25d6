// The test proxy's switches against the real test server: what a statement sent through the proxy gets back, and
// whether the server ran it.
#include "support/QtPrinters.h"
#include "support/ServerDatabase.h"
#include "support/TcpProxy.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <poll.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;
using Clock = std::chrono::steady_clock;

enum class Answer { Result, Closed, None };

void PrintTo(Answer answer, std::ostream* out)
{
    *out << (answer == Answer::Result ? "the result" : answer == Answer::Closed ? "the connection closed" : "nothing");
}

// Waits at most that long for the answer to what was sent: the statement's result, the connection closed, or
// nothing yet.
Answer answerWithin(PGconn* connection, std::chrono::milliseconds limit)
{
    const Clock::time_point end = Clock::now() + limit;
    while (PQflush(connection) > 0 || PQisBusy(connection)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        pollfd socket{PQsocket(connection), POLLIN, 0};
        if (left <= 0ms || poll(&socket, 1, static_cast<int>(left.count())) == 0)
            return Answer::None;
        if (!PQconsumeInput(connection))
            return Answer::Closed;
    }
    Answer answer = Answer::Closed;
    while (PGresult* result = PQgetResult(connection)) {
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            answer = Answer::Result;
        PQclear(result);
    }
    return answer;
}

Answer answerWithin(PGconn* connection, const QByteArray& sql, std::chrono::milliseconds limit)
{
    return PQsendQuery(connection, sql.constData()) ? answerWithin(connection, limit) : Answer::Closed;
}

} // namespace

TEST(ProxySwitches, EachSwitchDoesToTheBytesWhatItSays)
{
    ServerDatabase database;
    database.execute("create table posted (id integer)");
    // Long enough for bytes on the loopback to pass many times over; a delay must show in full.
    const auto quiet = 200ms;
    const struct
    {
        const char* name;
        std::function<void(TcpProxy&)> set;
        Answer answer;
        bool committed;
        std::chrono::milliseconds atLeast;
    } cases[] = {
        {"forward", [](TcpProxy& proxy) { proxy.forward(); }, Answer::Result, true, 0ms},
        {"hang", [](TcpProxy& proxy) { proxy.hang(); }, Answer::None, false, 0ms},
        {"drop the next answer", [](TcpProxy& proxy) { proxy.dropNextAnswer(); }, Answer::Closed, true, 0ms},
        {"delay", [](TcpProxy& proxy) { proxy.setDelay(60ms); }, Answer::Result, true, 120ms},
    };
    int id = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TcpProxy proxy(database.tcpPort());
        const Connection connection(PQconnectdb(proxy.connectionInfo(database.connectionInfo()).toUtf8()), PQfinish);
        ASSERT_EQ(PQstatus(connection.get()), CONNECTION_OK) << PQerrorMessage(connection.get());
        c.set(proxy);
        const QByteArray insert = "insert into posted values (" + QByteArray::number(++id) + ")";
        const Clock::time_point sent = Clock::now();
        EXPECT_EQ(answerWithin(connection.get(), insert, c.answer == Answer::None ? quiet : 10s), c.answer);
        EXPECT_GE(Clock::now() - sent, c.atLeast);
        const QVariant count = database.scalar("select count(*) from posted where id = ?", {id});
        EXPECT_EQ(count, c.committed ? "1" : "0");

        // Back to forwarding, a held statement runs and gets its answer; a new connection is served in any case.
        proxy.forward();
        proxy.setDelay(0ms);
        if (c.answer == Answer::None) {
            EXPECT_EQ(answerWithin(connection.get(), 10s), Answer::Result);
            EXPECT_EQ(database.scalar("select count(*) from posted where id = ?", {id}), "1");
        }
        const Connection next(PQconnectdb(proxy.connectionInfo(database.connectionInfo()).toUtf8()), PQfinish);
        ASSERT_EQ(PQstatus(next.get()), CONNECTION_OK) << PQerrorMessage(next.get());
        EXPECT_EQ(answerWithin(next.get(), "select 1", 10s), Answer::Result);
    }
}

// A round trip is the client's bytes and the server's answer, however many reads each side's burst takes.
TEST(ProxySwitches, CountsRoundTripsNotReads)
{
    ServerDatabase database;
    const struct
    {
        const char* name;
        std::vector<QByteArray> statements; // each sent once the answer to the one before has come
        int trips;
    } cases[] = {
        {"one small answer", {"select 1"}, 1},
        {"an answer of many reads", {"select repeat('x', 100) from generate_series(1, 100000)"}, 1},
        {"two statements in one burst", {"select 1; select 2"}, 1},
        {"two statements one after the other", {"select 1", "select 2"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TcpProxy proxy(database.tcpPort());
        const Connection connection(PQconnectdb(proxy.connectionInfo(database.connectionInfo()).toUtf8()), PQfinish);
        ASSERT_EQ(PQstatus(connection.get()), CONNECTION_OK) << PQerrorMessage(connection.get());
        // Each read of the big answer held a while, so that it comes in many.
        proxy.setDelay(5ms);
        const int before = proxy.roundTrips();
        for (const QByteArray& statement : c.statements)
            EXPECT_EQ(answerWithin(connection.get(), statement, 10s), Answer::Result);
        EXPECT_EQ(proxy.roundTrips() - before, c.trips);
    }
}
