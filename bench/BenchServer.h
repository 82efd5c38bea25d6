#pragma once

#include "ScriptedServer.h"

#include <QString>

// A private PostgreSQL server for one benchmark run, made by tests/support/server-cluster.sh in a short folder
// under /tmp and reached through its Unix socket there or through TCP on 127.0.0.1. It is stopped and its folder
// removed when the object goes, and by a watchdog process when the benchmark ends any other way: an exception, a crash,
// a signal, a kill.
class BenchServer
{
public:
    // Throws std::runtime_error when the server does not start.
    BenchServer();

    // libpq connection info of the server's database of that name, through its socket.
    QString connectionInfo(const QString& database) const;
    // The port on which the server also listens on 127.0.0.1.
    int tcpPort() const;
    // Creates an empty UTF-8 database and returns its connection info; throws with the server's message.
    QString createDatabase(const QString& name);
    // Runs one or more statements that return nothing on the database; throws with the server's message.
    static void execute(const QString& connectionInfo, const char* sql);

private:
    ScriptedServer m_server;
};
