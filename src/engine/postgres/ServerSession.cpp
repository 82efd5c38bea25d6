#include "engine/postgres/ServerSession.h"

#include "base/Error.h"
#include "engine/postgres/Libpq.h"
#include "engine/ServerWait.h"

#include <QStringList>

#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <utility>

namespace {

using namespace std::chrono_literals;

std::chrono::milliseconds answerLimitSet = ServerSession::defaultAnswerLimit;

// After a cancel the server's answer comes at once; a server that can't be reached gets this long.
constexpr std::chrono::milliseconds cancelPatience = 1s;

// What the server does when neither the user's connection info nor its administrator says otherwise: a row locked
// by another session ends the statement first, with the server's reason, then a statement that takes too long;
// both before the session's own deadline, which is for a server that does not answer at all.
constexpr const char* defaultLockTimeout = "20s";
constexpr const char* defaultStatementTimeout = "25s";

QString noAnswer(std::chrono::milliseconds limit)
{
    return QStringLiteral("Сервер базы данных не ответил за %1 с; соединение с ним разорвано.")
        .arg(QString::number(static_cast<double>(limit.count()) / 1000.0));
}

EngineError cancelled()
{
    return EngineError(QStringLiteral("Ожидание ответа сервера отменено."));
}

// The limit of a wait now: the session's, or a quiet one's when shorter.
std::chrono::milliseconds currentLimit()
{
    const std::optional<std::chrono::milliseconds> quiet = ServerWait::quietLimit();
    return quiet ? std::min(*quiet, answerLimitSet) : answerLimitSet;
}

// Asks the server to cancel what the connection runs. libpq's cancel connects anew and waits for the server to
// take the request, which a cut network may make forever: it is done beside the window's thread.
void sendCancel(PGconn* connection)
{
    PGcancel* cancel = Libpq::get().PQgetCancel(connection);
    if (!cancel)
        return;
    std::thread([cancel] {
        char reason[256];
        Libpq::get().PQcancel(cancel, reason, sizeof reason);
        Libpq::get().PQfreeCancel(cancel);
    }).detach();
}

// libpq's reason for the connection's last failure, on one line as the error box shows it best. libpq keeps what
// a failed attempt said and adds the next one's: a line said before is said once.
QString reasonOf(const PGconn* connection)
{
    QStringList lines;
    for (const QString& line :
         QString::fromUtf8(Libpq::get().PQerrorMessage(connection)).split(u'\n', Qt::SkipEmptyParts)) {
        const QString simplified = line.simplified();
        if (!simplified.isEmpty() && !lines.contains(simplified))
            lines << simplified;
    }
    return lines.isEmpty() ? QStringLiteral("The connection to the database server is lost.") : lines.join(u' ');
}

} // namespace

ServerResult::ServerResult(PGresult* result) : m_result(result) {}

ServerResult::~ServerResult()
{
    // A result is had only through the library, so it is loaded here whenever there is one to clear.
    if (m_result)
        Libpq::get().PQclear(m_result);
}

ServerResult::ServerResult(ServerResult&& other) noexcept : m_result(std::exchange(other.m_result, nullptr)) {}

ServerResult& ServerResult::operator=(ServerResult&& other) noexcept
{
    if (PGresult* old = std::exchange(m_result, std::exchange(other.m_result, nullptr)))
        Libpq::get().PQclear(old);
    return *this;
}

int ServerResult::rowCount() const
{
    return Libpq::get().PQntuples(m_result);
}

int ServerResult::columnCount() const
{
    return Libpq::get().PQnfields(m_result);
}

QString ServerResult::columnName(int column) const
{
    return QString::fromUtf8(Libpq::get().PQfname(m_result, column));
}

unsigned ServerResult::tableOf(int column) const
{
    return Libpq::get().PQftable(m_result, column);
}

int ServerResult::tableColumnOf(int column) const
{
    return Libpq::get().PQftablecol(m_result, column);
}

unsigned ServerResult::typeOf(int column) const
{
    return Libpq::get().PQftype(m_result, column);
}

bool ServerResult::isNull(int row, int column) const
{
    return Libpq::get().PQgetisnull(m_result, row, column) != 0;
}

const char* ServerResult::text(int row, int column) const
{
    return Libpq::get().PQgetvalue(m_result, row, column);
}

int ServerResult::length(int row, int column) const
{
    return Libpq::get().PQgetlength(m_result, row, column);
}

qint64 ServerResult::affectedRows() const
{
    return std::strtoll(Libpq::get().PQcmdTuples(m_result), nullptr, 10);
}

ServerSession::ServerSession(const QString& connectionInfo) : m_info(connectionInfo.toUtf8())
{
    open();
    m_databaseName = QString::fromUtf8(Libpq::get().PQdb(m_connection));
}

ServerSession::~ServerSession()
{
    drop();
}

void ServerSession::setAnswerLimit(std::chrono::milliseconds limit)
{
    answerLimitSet = limit;
}

std::chrono::milliseconds ServerSession::answerLimit()
{
    return answerLimitSet;
}

bool ServerSession::isBroken() const
{
    return !m_connection || Libpq::get().PQstatus(m_connection) != CONNECTION_OK;
}

void ServerSession::drop()
{
    if (!m_connection)
        return;
    // Non-blocking, the goodbye to a server that is gone never waits.
    Libpq::get().PQsetnonblocking(m_connection, 1);
    const std::lock_guard change(m_connectionChange);
    Libpq::get().PQfinish(std::exchange(m_connection, nullptr));
}

ServerSession::LongStatements::LongStatements(ServerSession& session, std::chrono::milliseconds limit)
    : m_session(session)
{
    m_statementTimeout = m_session.run("SELECT current_setting('statement_timeout')").text(0, 0);
    m_session.run("SELECT set_config('statement_timeout', '0', false)");
    m_session.m_longLimit = limit;
}

ServerSession::LongStatements::~LongStatements()
{
    m_session.m_longLimit.reset();
    try {
        m_session.run("SELECT set_config('statement_timeout', $1, false)", {m_statementTimeout});
    } catch (const EngineError&) {
        // A connection made anew has the session's own settings again.
    }
}

void ServerSession::interrupt()
{
    m_interrupted = true;
    const std::lock_guard change(m_connectionChange);
    if (m_connection && Libpq::get().PQsocket(m_connection) >= 0)
        shutdown(Libpq::get().PQsocket(m_connection), SHUT_RDWR);
}

void ServerSession::throwIfInterrupted() const
{
    if (m_interrupted)
        throw EngineError(QStringLiteral("Работа с сервером прервана."));
}

void ServerSession::open()
{
    drop();
    throwIfInterrupted();
    // Given first, so the user's connection info may set them otherwise; the encoding comes last, as the engine
    // reads and writes nothing but UTF-8. Keepalives find a connection whose other end went away while it was idle
    // within half a minute, and the user timeout one whose sent bytes go unacknowledged; neither applies to a
    // Unix socket.
    const std::pair<const char*, const char*> settings[] = {
        {"connect_timeout", "10"},          {"keepalives", "1"},
        {"keepalives_idle", "10"},          {"keepalives_interval", "5"},
        {"keepalives_count", "3"},          {"tcp_user_timeout", "25000"},
        {"application_name", "chronoteka"}, {"dbname", m_info.constData()},
        {"client_encoding", "UTF8"}};
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const auto& [keyword, value] : settings) {
        keywords.push_back(keyword);
        values.push_back(value);
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    const ServerWait::InProgress busy;
    PGconn* connection = Libpq::get().PQconnectStartParams(keywords.data(), values.data(), 1);
    if (!connection)
        throw ServerUnreachable(QStringLiteral("Out of memory while connecting to the database server."));
    const auto fail = [&connection](const QString& reason) {
        Libpq::get().PQfinish(connection);
        return ServerUnreachable(reason);
    };
    if (Libpq::get().PQstatus(connection) == CONNECTION_BAD)
        throw fail(reasonOf(connection));
    // libpq leaves connect_timeout to whoever polls the connection: it is kept here, within the session's limit.
    std::chrono::milliseconds limit = m_longLimit ? *m_longLimit : currentLimit();
    if (PQconninfoOption* const options = Libpq::get().PQconninfo(connection)) {
        for (const PQconninfoOption* option = options; option->keyword; ++option) {
            if (qstrcmp(option->keyword, "connect_timeout") == 0 && option->val && std::atoi(option->val) > 0)
                limit = std::min<std::chrono::milliseconds>(limit,
                                                            std::chrono::seconds(std::max(2, std::atoi(option->val))));
        }
        Libpq::get().PQconninfoFree(options);
    }
    const auto deadline = ServerWait::Clock::now() + limit;
    // The connect's wait ends before the session's set-up begins a wait of its own.
    std::unique_ptr<ServerWait::Operation> wait = ServerWait::current().begin(ServerWait::quietLimit().has_value());
    for (PostgresPollingStatusType polled = PGRES_POLLING_WRITING; polled != PGRES_POLLING_OK;
         polled = Libpq::get().PQconnectPoll(connection)) {
        if (polled == PGRES_POLLING_FAILED)
            throw fail(reasonOf(connection));
        const auto direction =
            polled == PGRES_POLLING_READING ? ServerWait::Direction::Read : ServerWait::Direction::Write;
        switch (wait->waitFor(Libpq::get().PQsocket(connection), direction, deadline)) {
        case ServerWait::Outcome::Ready:
            break;
        case ServerWait::Outcome::TimedOut:
            throw fail(noAnswer(limit));
        case ServerWait::Outcome::Cancelled:
            Libpq::get().PQfinish(connection);
            throw cancelled();
        }
    }
    wait.reset();
    Libpq::get().PQsetnonblocking(connection, 1);
    {
        const std::lock_guard change(m_connectionChange);
        m_connection = connection;
    }
    throwIfInterrupted();
    prepareSession();
}

// Dates and numbers as the engine reads them, whatever the server's or the user's defaults say; the timeouts where
// only the server's built-in default stands (none), so that the user's options and the administrator's settings
// win.
void ServerSession::prepareSession()
{
    // The session's own set-up (the schema it keeps to) goes before the timeouts' query, whose result ends them.
    const QByteArray statements =
        QByteArrayLiteral("SET datestyle = ISO; SET extra_float_digits = 1; SET standard_conforming_strings = on; "
                          "SET TIME ZONE 'UTC'; ") +
        (m_setup.isEmpty() ? QByteArray() : m_setup + "; ") +
        "SELECT set_config(d.name, d.setting, false) FROM (VALUES ('lock_timeout', '" + defaultLockTimeout +
        "'), ('statement_timeout', '" + defaultStatementTimeout +
        "')) AS d(name, setting) JOIN pg_settings s ON s.name = d.name WHERE s.source = 'default'";
    const ServerResult result = execute(statements, nullptr, {}, {});
    const ExecStatusType status = Libpq::get().PQresultStatus(result.handle());
    const bool done = status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK;
    // A connection that is fine but refuses the settings is a fault of the set-up, which trying later won't mend.
    if (!done && isBroken())
        throw ServerUnreachable(reasonOf(m_connection));
    if (!done)
        throw EngineError(reasonOf(m_connection));
}

ServerResult ServerSession::execute(const QByteArray& sql, const std::vector<unsigned>* types,
                                    const std::vector<const char*>& values, const std::vector<int>& lengths)
{
    const ServerWait::InProgress busy;
    const std::chrono::milliseconds limit = m_longLimit ? *m_longLimit : currentLimit();
    auto deadline = ServerWait::Clock::now() + limit;
    const int sent =
        types ? Libpq::get().PQsendQueryParams(m_connection, sql.constData(), static_cast<int>(values.size()),
                                               types->data(), values.data(), lengths.data(), nullptr, 0)
              : Libpq::get().PQsendQuery(m_connection, sql.constData());
    if (!sent)
        return ServerResult(nullptr);
    const std::unique_ptr<ServerWait::Operation> wait =
        ServerWait::current().begin(ServerWait::quietLimit().has_value());
    bool cancelling = false;
    // Waits for the socket; false when the connection broke.
    const auto await = [&](ServerWait::Direction direction) {
        switch (wait->waitFor(Libpq::get().PQsocket(m_connection), direction, deadline)) {
        case ServerWait::Outcome::Ready:
            return;
        case ServerWait::Outcome::TimedOut:
            drop();
            // Whether the statement was done before the connection went is not known: as for a lost answer.
            if (cancelling)
                throw ServerUnreachable(cancelled().text());
            throw ServerUnreachable(noAnswer(limit));
        case ServerWait::Outcome::Cancelled:
            cancelling = true;
            sendCancel(m_connection);
            deadline = std::min(deadline, ServerWait::Clock::now() + cancelPatience);
            return;
        }
    };
    for (int flushed = Libpq::get().PQflush(m_connection); flushed != 0; flushed = Libpq::get().PQflush(m_connection)) {
        if (flushed < 0)
            return ServerResult(nullptr);
        await(ServerWait::Direction::Write);
    }
    ServerResult kept(nullptr);
    for (;;) {
        while (Libpq::get().PQisBusy(m_connection)) {
            await(ServerWait::Direction::Read);
            if (!Libpq::get().PQconsumeInput(m_connection))
                return ServerResult(nullptr);
        }
        PGresult* next = Libpq::get().PQgetResult(m_connection);
        if (!next)
            break;
        // The first error stands, as the statements after it were not run.
        const ExecStatusType status = Libpq::get().PQresultStatus(kept.handle());
        if (kept.handle() && status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
            Libpq::get().PQclear(next);
        else
            kept = ServerResult(next);
    }
    const char* state = Libpq::get().PQresultErrorField(kept.handle(), PG_DIAG_SQLSTATE);
    if (cancelling && state && qstrcmp(state, "57014") == 0)
        throw cancelled();
    return kept;
}

ServerResult ServerSession::run(const QByteArray& sql, const Parameters& parameters, Retry retry,
                                std::vector<unsigned> types)
{
    constexpr unsigned textType = 25;
    types.resize(parameters.size(), 0);
    bool typesGuessed = false;
    throwIfInterrupted();
    if (isBroken())
        open();
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (const std::optional<QByteArray>& parameter : parameters) {
        values.push_back(parameter ? parameter->constData() : nullptr);
        lengths.push_back(parameter ? static_cast<int>(parameter->size()) : 0);
    }
    for (int attempt = 0;; ++attempt) {
        ServerResult result = execute(sql, &types, values, lengths);
        const ExecStatusType status = Libpq::get().PQresultStatus(result.handle());
        if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
            return result;
        if (isBroken()) {
            const QString reason = reasonOf(m_connection);
            if (retry == Retry::OnceIfBroken && attempt == 0) {
                open();
                continue;
            }
            throw ServerUnreachable(reason);
        }
        const char* state = Libpq::get().PQresultErrorField(result.handle(), PG_DIAG_SQLSTATE);
        if (!typesGuessed && state && qstrcmp(state, "42P18") == 0) {
            for (unsigned& type : types)
                type = type == 0 ? textType : type;
            typesGuessed = true;
            --attempt;
            continue;
        }
        const char* primary = Libpq::get().PQresultErrorField(result.handle(), PG_DIAG_MESSAGE_PRIMARY);
        throw StatementRefused(primary ? QString::fromUtf8(primary) : reasonOf(m_connection), state);
    }
}

QString ServerSession::databaseName() const
{
    return m_databaseName;
}
