#include "BenchServer.h"

#include <QFile>

#include <libpq-fe.h>

#include <memory>
#include <stdexcept>
#include <string>

// Short, as the socket's path in the folder may not exceed 107 bytes.
BenchServer::BenchServer() : m_server(CHRONOTEKA_SERVER_CLUSTER, "/tmp/chronoteka-bench-") {}

QString BenchServer::connectionInfo(const QString& database) const
{
    // The port is the one server-cluster.sh gives the server.
    return QStringLiteral("host=%1 port=5432 user=postgres dbname=%2")
        .arg(QString::fromUtf8(m_server.folder()), database);
}

int BenchServer::tcpPort() const
{
    // Written there by server-cluster.sh.
    QFile file(QString::fromUtf8(m_server.folder() + "/tcp-port"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("the test server's TCP port is not known: " + file.errorString().toStdString());
    return file.readAll().trimmed().toInt();
}

QString BenchServer::createDatabase(const QString& name)
{
    execute(connectionInfo(QStringLiteral("postgres")),
            QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0 ENCODING 'UTF8'").arg(name).toUtf8().constData());
    return connectionInfo(name);
}

void BenchServer::execute(const QString& connectionInfo, const char* sql)
{
    const std::unique_ptr<PGconn, decltype(&PQfinish)> connection(PQconnectdb(connectionInfo.toUtf8().constData()),
                                                                  PQfinish);
    if (PQstatus(connection.get()) != CONNECTION_OK)
        throw std::runtime_error(PQerrorMessage(connection.get()));
    const std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection.get(), sql), PQclear);
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        throw std::runtime_error(PQerrorMessage(connection.get()));
}
