#pragma once

#include "base/Error.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>
#include <atomic>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

struct pg_conn;
struct pg_result;

// A statement the server refused, with the SQLSTATE code that says why.
class StatementRefused : public EngineError
{
public:
    StatementRefused(const QString& text, QByteArray state) : EngineError(text), m_state(std::move(state)) {}
    const QByteArray& state() const { return m_state; }

private:
    QByteArray m_state;
};

// The rows of one statement run on the server, as texts.
class ServerResult
{
public:
    explicit ServerResult(pg_result* result);
    ~ServerResult();
    ServerResult(ServerResult&& other) noexcept;
    ServerResult(const ServerResult&) = delete;
    ServerResult& operator=(const ServerResult&) = delete;
    ServerResult& operator=(ServerResult&& other) noexcept;

    int rowCount() const;
    int columnCount() const;
    QString columnName(int column) const;
    unsigned tableOf(int column) const; // the table's object id, 0 for a computed column
    int tableColumnOf(int column) const;
    unsigned typeOf(int column) const; // the server's type's object id
    bool isNull(int row, int column) const;
    const char* text(int row, int column) const;
    int length(int row, int column) const;
    // The number of rows an update, insert or delete touched.
    qint64 affectedRows() const;
    pg_result* handle() const { return m_result; }

private:
    pg_result* m_result;
};

// One connection to a PostgreSQL server through libpq: texts in UTF-8, dates in ISO form. A connection found
// broken is opened anew before the next statement; every failure becomes an EngineError with the server's
// reason (StatementRefused for a statement it refuses), or ServerUnreachable when the server can't be reached.
//
// Every wait for the server goes through ServerWait and has an end: TCP keepalives and a user timeout on the
// connection, statement and lock timeouts on the server (unless the user's connection info or the server's
// administrator set their own), and a deadline of the session's own, after which the connection is dropped, since
// a connection whose other end is gone may never fail by itself. A wait the user cancels cancels the statement on
// the server.
class ServerSession
{
public:
    // Connects at once; connectionInfo is libpq's ("host=... dbname=..." or a postgresql:// address).
    explicit ServerSession(const QString& connectionInfo);
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    using Parameters = std::vector<std::optional<QByteArray>>; // nullopt for NULL

    enum class Retry { Never, OnceIfBroken };
    // Runs one statement, $1... standing for parameters. A statement that only reads may be retried once on a
    // new connection when the old one turns out broken; a write must not be, as it may have been done.
    // types: the server's type of each parameter, 0 where the statement decides; a parameter left to the
    // statement where nothing gives it a type (as in "$1 IS NULL") is taken as text.
    ServerResult run(const QByteArray& sql, const Parameters& parameters = {}, Retry retry = Retry::Never,
                     std::vector<unsigned> types = {});
    // The name of the database, for messages.
    QString databaseName() const;
    // Statements run on every new connection after the session's own settings, as on the one open now.
    void setSessionSetup(QByteArray statements) { m_setup = std::move(statements); }
    // While one lives, the session's statements may take up to limit, the server's statement_timeout lifted: for a
    // statement known to take long (an index built over many events) on a thread that is not the window's.
    class LongStatements
    {
    public:
        LongStatements(ServerSession& session, std::chrono::milliseconds limit);
        ~LongStatements();
        LongStatements(const LongStatements&) = delete;
        LongStatements& operator=(const LongStatements&) = delete;

    private:
        ServerSession& m_session;
        QByteArray m_statementTimeout;
    };

    // From another thread: ends what the session waits for now by closing its socket, and makes every statement
    // after fail at once. For a session on a thread of its own that has to stop (the search's, at exit).
    void interrupt();

    // The longest the session waits for a connection or for the answer to a statement before it drops the
    // connection; tests make it short.
    static constexpr std::chrono::milliseconds defaultAnswerLimit{30000};
    static void setAnswerLimit(std::chrono::milliseconds limit);
    static std::chrono::milliseconds answerLimit();

private:
    void open();
    void prepareSession();
    bool isBroken() const;
    // Drops the connection without waiting; the next statement connects anew.
    void drop();
    // Fails once interrupt() was called.
    void throwIfInterrupted() const;
    // Runs sql (several statements when types is null) and returns its last result, or its first error; a null
    // result when the connection broke.
    ServerResult execute(const QByteArray& sql, const std::vector<unsigned>* types,
                         const std::vector<const char*>& values, const std::vector<int>& lengths);

    QByteArray m_info;
    QString m_databaseName;
    pg_conn* m_connection = nullptr;
    QByteArray m_setup;
    // Guards m_connection's changes against interrupt().
    std::mutex m_connectionChange;
    std::atomic<bool> m_interrupted = false;
    std::optional<std::chrono::milliseconds> m_longLimit;
};
