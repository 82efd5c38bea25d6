#include "BenchServer.h"

#include <QFile>

#include <libpq-fe.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

const char* const clusterScript = CHRONOTEKA_SERVER_CLUSTER;

std::runtime_error systemError(const char* what)
{
    return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// Runs server-cluster.sh with the action on the folder, its output going where ours goes; true when it succeeded.
bool runClusterScript(const char* action, const char* folder)
{
    const pid_t child = fork();
    if (child < 0)
        throw systemError("fork");
    if (child == 0) {
        execl(clusterScript, clusterScript, action, folder, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            throw systemError("waitpid");
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

BenchServer::BenchServer()
{
    // Short, as the socket's path may not exceed 107 bytes; unique, so that two runs keep apart.
    char folder[] = "/tmp/chronoteka-bench-XXXXXX";
    if (!mkdtemp(folder))
        throw systemError("mkdtemp");
    m_folder = folder;
    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0) {
        rmdir(folder);
        throw systemError("pipe2");
    }
    // The watchdog waits for the end of the pipe this process holds to close, which happens however this process
    // ends, and then stops the server. Only async-signal-safe calls until the script takes over.
    m_watchdog = fork();
    if (m_watchdog < 0) {
        rmdir(folder);
        throw systemError("fork");
    }
    if (m_watchdog == 0) {
        // Its own session, so that an interrupt typed in the terminal stops the benchmark, not the watchdog.
        setsid();
        close(pipe[1]);
        char byte = 0;
        ssize_t read = 0;
        do
            read = ::read(pipe[0], &byte, 1);
        while (read > 0 || (read < 0 && errno == EINTR));
        execl(clusterScript, clusterScript, "stop", folder, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe[0]);
    m_watchdogPipe = pipe[1];
    if (!runClusterScript("start", folder)) {
        stop();
        throw std::runtime_error(std::string("the test server did not start in ") + folder);
    }
}

BenchServer::~BenchServer()
{
    stop();
}

void BenchServer::stop()
{
    close(m_watchdogPipe);
    int status = 0;
    while (waitpid(m_watchdog, &status, 0) < 0 && errno == EINTR) {
    }
}

QString BenchServer::connectionInfo(const QString& database) const
{
    // The port is the one server-cluster.sh gives the server.
    return QStringLiteral("host=%1 port=5432 user=postgres dbname=%2").arg(QString::fromUtf8(m_folder), database);
}

int BenchServer::tcpPort() const
{
    // Written there by server-cluster.sh.
    QFile file(QString::fromUtf8(m_folder + "/tcp-port"));
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
