#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

struct pg_conn;

// A fresh, empty database of its own on the test server, dropped with the object even when connections to it are
// still open. The server is the one CHRONOTEKA_TEST_SERVER names (libpq connection info of its maintenance
// database), which ctest sets for the executables marked SERVER; without it the constructor throws, so that a
// test run outside ctest fails rather than tests nothing. Errors are std::runtime_error with the server's message.
class ServerDatabase
{
public:
    ServerDatabase();
    ~ServerDatabase();
    ServerDatabase(const ServerDatabase&) = delete;
    ServerDatabase& operator=(const ServerDatabase&) = delete;

    QString name() const { return m_name; }
    // libpq connection info of this database: the server's with its own dbname.
    QString connectionInfo() const { return m_connectionInfo; }
    // The program's connection string for this database.
    QString connectionString() const;
    // The server's TCP port on 127.0.0.1, and libpq connection info of this database through it.
    int tcpPort();
    QString tcpConnectionInfo();

    // Runs sql with the program's ? markers (those outside quotes) bound to values in order, as texts: null as
    // NULL, bool as t or f, QDate as yyyy-MM-dd, QDateTime as yyyy-MM-dd HH:mm:ss.zzz. Without values and markers
    // sql may hold several statements.
    void execute(const QString& sql, const QVariantList& values = {});
    // The first column of the first row sql returns, as text; null when there is no row or the value is NULL.
    QVariant scalar(const QString& sql, const QVariantList& values = {});
    // The server process of the program's newest connection to this database; 0 when it has none.
    int newestProgramProcess();

private:
    QString m_name;
    QString m_connectionInfo;
    pg_conn* m_connection = nullptr;
};
