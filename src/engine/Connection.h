#pragma once

#include "engine/Snapshot.h"
#include "engine/TableSchema.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;

// The one connection to the diary database, opened from a Jet-style connection string such as
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=db1.mdb;Persist Security Info=False".
// Opens an existing file only; a relative Data Source is taken from the current directory.
class Connection
{
public:
    // Refuses a file that does not hold the required table. busyTimeout: how long a read or write waits for
    // another process's lock before it fails.
    Connection(const QString& connectionString, const TableSchema& required,
               int busyTimeoutMilliseconds = defaultBusyTimeout);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    static constexpr int defaultBusyTimeout = 5000;

    const QString& filePath() const { return m_filePath; }

    // The full path of the connection string's Data Source, taken from the current directory when relative.
    static QString dataSourcePath(const QString& connectionString);

    // Runs a select written in the program's SQL dialect, "?" standing for each parameter in order.
    std::unique_ptr<Snapshot> select(const QString& sql, const QList<QVariant>& parameters);

private:
    QString m_filePath;
    std::shared_ptr<sqlite3> m_db;
};
