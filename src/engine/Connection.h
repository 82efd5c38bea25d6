#pragma once

#include "engine/Backend.h"
#include "engine/Snapshot.h"
#include "engine/TableSchema.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

struct SearchWords;

// The one connection to the diary database, over the backend that opened it. A Jet-style connection string names
// the database: "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=db1.mdb;Persist Security Info=False" a file, and
// with "Provider=PostgreSQL" the Data Source is the connection info of a PostgreSQL server's diary, as libpq reads
// it ("host=... dbname=... user=..."); the helpers here read such a string, and the diary layer picks the backend.
class Connection
{
public:
    // The backend has checked that its database holds the required table, which must outlive the connection.
    Connection(std::shared_ptr<Backend> backend, const TableSchema& required);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // How long a read or write of a file waits for another process's lock before it fails.
    static constexpr int defaultBusyTimeout = 5000;

    // The diary file's full path; empty for a server diary.
    QString filePath() const;
    bool isServer() const { return filePath().isEmpty(); }
    // The backend, for what the diary keeps beside its table (Backend::property).
    Backend& backend() const { return *m_backend; }

    // The connection string's Data Source as a clean full path; throws EngineError when it is relative.
    static QString dataSourcePath(const QString& connectionString);
    // The Data Source as it stands in the connection string.
    static QString dataSource(const QString& connectionString);
    // Whether the text is a connection string at all: it names a Data Source.
    static bool namesDataSource(const QString& text);
    // Whether the connection string's provider is a PostgreSQL server.
    static bool namesServer(const QString& connectionString);

    // Runs a select written in the program's SQL dialect, "?" standing for each parameter in order.
    std::unique_ptr<Snapshot> select(const QString& sql, const QList<QVariant>& parameters);

    // The keys of the events holding every word in one of its forms, at most limit of them (Backend::searchJobs).
    std::vector<qint64> searchJobs(const SearchWords& words, int limit);

    // Several writes stored whole or not at all (Backend::writeBatch).
    void writeBatch(const QByteArray& token, const std::function<void(Backend::Batch&)>& work);

    // The label of the next write's step in the undo journal (Backend::journalNextWrite).
    void journalNextWrite(const QString& label) { m_backend->journalNextWrite(label); }
    // Whether the diary keeps an undo journal, made now unless there (Backend::readyJournal).
    bool readyJournal() { return m_backend->readyJournal(); }
    // The table the connection was opened for.
    const TableSchema& table() const { return m_table; }

    // Every row of the required table by its key, the values in the table's column order, for copying a diary.
    std::vector<std::vector<QVariant>> tableRows();
    // Puts such rows, keys kept, into the required table, which must be empty; all or nothing.
    void appendTableRows(const std::vector<std::vector<QVariant>>& rows);

private:
    const TableSchema& m_table;
    std::shared_ptr<Backend> m_backend;
};
