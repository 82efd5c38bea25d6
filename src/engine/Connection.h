#pragma once

#include "Snapshot.h"

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
    explicit Connection(const QString& connectionString);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& filePath() const { return m_filePath; }

    // Runs a select written in the program's SQL dialect, "?" standing for each parameter in order.
    std::unique_ptr<Snapshot> select(const QString& sql, const QList<QVariant>& parameters);

private:
    QString m_filePath;
    sqlite3* m_db = nullptr;
};
