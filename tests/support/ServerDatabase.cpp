#include "support/ServerDatabase.h"

#include "support/ConnectionInfo.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QUuid>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;
using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

std::string trimmed(const char* message)
{
    return QByteArray(message ? message : "").trimmed().toStdString();
}

QString serverInfo()
{
    const QByteArray info = qgetenv("CHRONOTEKA_TEST_SERVER");
    if (info.isEmpty())
        throw std::runtime_error("CHRONOTEKA_TEST_SERVER is not set: run the tests through ctest");
    return QString::fromUtf8(info);
}

Connection connect(const QString& info)
{
    Connection connection(PQconnectdb(info.toUtf8().constData()), &PQfinish);
    if (PQstatus(connection.get()) != CONNECTION_OK)
        throw std::runtime_error("cannot connect to " + info.toStdString() + ": " +
                                 trimmed(PQerrorMessage(connection.get())));
    if (PQsetClientEncoding(connection.get(), "UTF8") != 0)
        throw std::runtime_error(trimmed(PQerrorMessage(connection.get())));
    return connection;
}

// The statement with its ? outside quotes numbered $1, $2, ... as PostgreSQL wants them; a doubled quote inside
// quotes ends and starts them again, which leaves the state right.
QByteArray numberedMarkers(const QString& sql, qsizetype values)
{
    QString numbered;
    QChar quote;
    qsizetype markers = 0;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'?') {
            numbered += u'$' + QString::number(++markers);
            continue;
        }
        numbered += c;
    }
    if (markers != values)
        throw std::runtime_error(
            QStringLiteral("%1 markers for %2 values in: %3").arg(markers).arg(values).arg(sql).toStdString());
    return numbered.toUtf8();
}

std::optional<QByteArray> parameterText(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QByteArray(value.toBool() ? "t" : "f");
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate).toUtf8();
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    default:
        if (!value.canConvert<QString>())
            throw std::runtime_error(std::string("no text for a value of type ") + value.typeName());
        return value.toString().toUtf8();
    }
}

Result run(PGconn* connection, const QString& sql, const QVariantList& values)
{
    const QByteArray statement = numberedMarkers(sql, values.size());
    PGresult* result = nullptr;
    if (values.isEmpty()) {
        result = PQexec(connection, statement.constData());
    } else {
        std::vector<std::optional<QByteArray>> texts;
        std::vector<const char*> parameters;
        for (const QVariant& value : values)
            texts.push_back(parameterText(value));
        for (const std::optional<QByteArray>& text : texts)
            parameters.push_back(text ? text->constData() : nullptr);
        result = PQexecParams(connection, statement.constData(), static_cast<int>(parameters.size()), nullptr,
                              parameters.data(), nullptr, nullptr, 0);
    }
    Result owned(result, &PQclear);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        throw std::runtime_error(trimmed(primary ? primary : PQerrorMessage(connection)));
    }
    return owned;
}

void runOnServer(const QString& sql)
{
    const Connection maintenance = connect(serverInfo());
    run(maintenance.get(), sql, {});
}

} // namespace

ServerDatabase::ServerDatabase()
    : m_name(QStringLiteral("chronoteka_") + QUuid::createUuid().toString(QUuid::Id128)),
      m_connectionInfo(ConnectionInfo::withKeywords(serverInfo(), {{"dbname", m_name}}))
{
    runOnServer(QStringLiteral("create database \"%1\" template template0 encoding 'UTF8'").arg(m_name));
    try {
        m_connection = connect(m_connectionInfo).release();
    } catch (...) {
        runOnServer(QStringLiteral("drop database \"%1\" with (force)").arg(m_name));
        throw;
    }
}

ServerDatabase::~ServerDatabase()
{
    PQfinish(m_connection);
    try {
        runOnServer(QStringLiteral("drop database \"%1\" with (force)").arg(m_name));
    } catch (const std::exception& error) {
        ADD_FAILURE() << "the test database " << m_name.toStdString() << " was not dropped: " << error.what();
    }
}

QString ServerDatabase::connectionString() const
{
    return QStringLiteral("Provider=PostgreSQL;Data Source=") + m_connectionInfo;
}

int ServerDatabase::tcpPort()
{
    // The server's one port setting is its TCP port; its socket is reached under another number too.
    return scalar(QStringLiteral("show port")).toInt();
}

QString ServerDatabase::tcpConnectionInfo()
{
    return ConnectionInfo::withKeywords(m_connectionInfo,
                                        {{"host", QStringLiteral("127.0.0.1")}, {"port", QString::number(tcpPort())}});
}

void ServerDatabase::execute(const QString& sql, const QVariantList& values)
{
    run(m_connection, sql, values);
}

QVariant ServerDatabase::scalar(const QString& sql, const QVariantList& values)
{
    const Result result = run(m_connection, sql, values);
    if (PQntuples(result.get()) == 0 || PQnfields(result.get()) == 0 || PQgetisnull(result.get(), 0, 0))
        return {};
    return QString::fromUtf8(PQgetvalue(result.get(), 0, 0));
}

int ServerDatabase::newestProgramProcess()
{
    return scalar(QStringLiteral("select pid from pg_stat_activity where datname = ? and "
                                 "application_name = 'chronoteka' order by backend_start desc limit 1"),
                  {m_name})
        .toInt();
}
