#include "engine/postgres/ServerSession.h"

#include "base/Error.h"

#include <QStringList>

#include <libpq-fe.h>

#include <cstdlib>
#include <utility>

namespace {

// libpq's reason for the connection's last failure, on one line as the error box shows it best. libpq keeps what
// a failed attempt said and adds the next one's: a line said before is said once.
QString reasonOf(const PGconn* connection)
{
    QStringList lines;
    for (const QString& line : QString::fromUtf8(PQerrorMessage(connection)).split(u'\n', Qt::SkipEmptyParts)) {
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
    PQclear(m_result);
}

ServerResult::ServerResult(ServerResult&& other) noexcept : m_result(std::exchange(other.m_result, nullptr)) {}

int ServerResult::rowCount() const
{
    return PQntuples(m_result);
}

int ServerResult::columnCount() const
{
    return PQnfields(m_result);
}

QString ServerResult::columnName(int column) const
{
    return QString::fromUtf8(PQfname(m_result, column));
}

unsigned ServerResult::tableOf(int column) const
{
    return PQftable(m_result, column);
}

int ServerResult::tableColumnOf(int column) const
{
    return PQftablecol(m_result, column);
}

unsigned ServerResult::typeOf(int column) const
{
    return PQftype(m_result, column);
}

bool ServerResult::isNull(int row, int column) const
{
    return PQgetisnull(m_result, row, column) != 0;
}

const char* ServerResult::text(int row, int column) const
{
    return PQgetvalue(m_result, row, column);
}

int ServerResult::length(int row, int column) const
{
    return PQgetlength(m_result, row, column);
}

qint64 ServerResult::affectedRows() const
{
    return std::strtoll(PQcmdTuples(m_result), nullptr, 10);
}

ServerSession::ServerSession(const QString& connectionInfo)
{
    const QByteArray info = connectionInfo.toUtf8();
    // Given first, so the user's connection info may set them otherwise; the encoding comes last, as the engine
    // reads and writes nothing but UTF-8.
    const char* const keywords[] = {"connect_timeout", "application_name", "dbname", "client_encoding", nullptr};
    const char* const values[] = {"10", "chronoteka", info.constData(), "UTF8", nullptr};
    m_connection = PQconnectdbParams(keywords, values, 1);
    if (!m_connection)
        throw ServerUnreachable(QStringLiteral("Out of memory while connecting to the database server."));
    if (PQstatus(m_connection) != CONNECTION_OK) {
        const QString reason = reasonOf(m_connection);
        PQfinish(m_connection);
        throw ServerUnreachable(reason);
    }
    prepareSession();
}

ServerSession::~ServerSession()
{
    PQfinish(m_connection);
}

bool ServerSession::isBroken() const
{
    return PQstatus(m_connection) != CONNECTION_OK;
}

void ServerSession::open()
{
    PQreset(m_connection);
    if (isBroken())
        throw ServerUnreachable(reasonOf(m_connection));
    prepareSession();
}

// Dates and numbers as the engine reads them, whatever the server's or the user's defaults say.
void ServerSession::prepareSession()
{
    const QByteArray settings = "SET datestyle = ISO; SET extra_float_digits = 1; "
                                "SET standard_conforming_strings = on; SET TIME ZONE 'UTC'; " +
                                m_setup;
    PGresult* result = PQexec(m_connection, settings.constData());
    const bool done = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    // A connection that is fine but refuses the settings is a fault of the set-up, which trying later won't mend.
    if (!done && isBroken())
        throw ServerUnreachable(reasonOf(m_connection));
    if (!done)
        throw EngineError(reasonOf(m_connection));
}

ServerResult ServerSession::run(const QByteArray& sql, const Parameters& parameters, Retry retry,
                                std::vector<unsigned> types)
{
    constexpr unsigned textType = 25;
    types.resize(parameters.size(), 0);
    bool typesGuessed = false;
    if (isBroken())
        open();
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (const std::optional<QByteArray>& parameter : parameters) {
        values.push_back(parameter ? parameter->constData() : nullptr);
        lengths.push_back(parameter ? static_cast<int>(parameter->size()) : 0);
    }
    for (int attempt = 0;; ++attempt) {
        ServerResult result(PQexecParams(m_connection, sql.constData(), static_cast<int>(values.size()), types.data(),
                                         values.data(), lengths.data(), nullptr, 0));
        const ExecStatusType status = PQresultStatus(result.handle());
        if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
            return result;
        if (isBroken()) {
            if (retry == Retry::OnceIfBroken && attempt == 0) {
                open();
                continue;
            }
            throw ServerUnreachable(reasonOf(m_connection));
        }
        const char* state = PQresultErrorField(result.handle(), PG_DIAG_SQLSTATE);
        if (!typesGuessed && state && qstrcmp(state, "42P18") == 0) {
            for (unsigned& type : types)
                type = type == 0 ? textType : type;
            typesGuessed = true;
            --attempt;
            continue;
        }
        const char* primary = PQresultErrorField(result.handle(), PG_DIAG_MESSAGE_PRIMARY);
        throw StatementRefused(primary ? QString::fromUtf8(primary) : reasonOf(m_connection), state);
    }
}

QString ServerSession::databaseName() const
{
    return QString::fromUtf8(PQdb(m_connection));
}
