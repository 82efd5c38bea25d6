#include "engine/Connection.h"

#include "engine/Dialect.h"
#include "engine/EngineErrors.h"
#include "engine/PostgresBackend.h"
#include "engine/Schema.h"
#include "engine/SqliteBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

// Reads the schema once; tells a file that isn't a database from one another process holds locked, and from a
// diary this process may only read (its write-ahead log can't even be read without writing beside the file).
void probe(sqlite3* db, const QString& path, bool readOnly)
{
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_schema", -1, &statement, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (rc == SQLITE_ROW)
        return;
    const int code = rc & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        throw EngineErrors::fileInUse(path);
    if (readOnly && code != SQLITE_NOTADB && code != SQLITE_CORRUPT)
        throw EngineErrors::cannotOpen(path);
    throw EngineErrors::unrecognizedFormat(path);
}

void configure(sqlite3* db, const QString& path, const TableSchema& required, int busyTimeout)
{
    // The file may come from elsewhere: its schema must not run anything with side effects, and SQL must not be
    // able to damage the file's structure.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // The program's diaries have no triggers; a foreign diary's would run on the user's edits and could change or
    // delete other rows unseen. With triggers off a view can't be written either (that takes an INSTEAD OF
    // trigger), while it can still be read.
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, busyTimeout);
    sqlite3_exec(db, "PRAGMA cell_size_check = ON", nullptr, nullptr, nullptr);

    // SQLite opens a file it may not write read-only without a word; the diary is edited, so that is refused
    // once the file is known to be a diary.
    const bool readOnly = sqlite3_db_readonly(db, "main") == 1;
    probe(db, path, readOnly);
    if (!Schema::hasUsableTable(db, required))
        throw EngineErrors::unrecognizedFormat(path);
    if (readOnly)
        throw EngineErrors::cannotOpen(path);

    // Other processes may have the file open too: with a write-ahead log readers never block the one writer.
    const int rc = sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        throw EngineErrors::fileInUse(path);
    Dialect::installFunctions(db);
}

} // namespace

namespace {

// The value of a key of the connection string, quotes around it taken off; empty when it is absent or empty.
QString valueOf(const QString& connectionString, QLatin1String wanted)
{
    const QStringList parts = connectionString.split(u';');
    for (const QString& part : parts) {
        const qsizetype equals = part.indexOf(u'=');
        if (equals < 0)
            continue;
        const QString key = part.left(equals).simplified();
        if (key.compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        QString value = part.mid(equals + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

std::shared_ptr<sqlite3> openFile(const QString& path, const TableSchema& required, int busyTimeout)
{
    const QFileInfo file(path);
    if (!file.exists())
        throw EngineErrors::fileNotFound(path);
    if (!file.isFile())
        throw EngineErrors::unrecognizedFormat(path);

    sqlite3* db = nullptr;
    // One thread uses a connection, so SQLite need not lock around every call (it would on each cell read).
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    std::shared_ptr<sqlite3> opened(db, sqlite3_close_v2);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_CANTOPEN)
            throw EngineErrors::cannotOpen(path);
        throw EngineErrors::unrecognizedFormat(path);
    }
    configure(db, path, required, busyTimeout);
    return opened;
}

} // namespace

QString Connection::dataSource(const QString& connectionString)
{
    const QString value = valueOf(connectionString, QLatin1String("Data Source"));
    if (value.isEmpty())
        throw EngineErrors::noDataSource();
    return value;
}

QString Connection::dataSourcePath(const QString& connectionString)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(dataSource(connectionString)));
}

bool Connection::namesDataSource(const QString& text)
{
    return !valueOf(text, QLatin1String("Data Source")).isEmpty();
}

bool Connection::namesServer(const QString& connectionString)
{
    return valueOf(connectionString, QLatin1String("Provider"))
               .compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0;
}

Connection::Connection(const QString& connectionString, const TableSchema& required, int busyTimeoutMilliseconds)
    : m_table(required)
{
    if (namesServer(connectionString)) {
        m_backend = std::make_shared<PostgresBackend>(dataSource(connectionString), required);
        return;
    }
    m_filePath = dataSourcePath(connectionString);
    m_backend = std::make_shared<SqliteBackend>(openFile(m_filePath, required, busyTimeoutMilliseconds));
}

Connection::~Connection() = default;

std::unique_ptr<Snapshot> Connection::select(const QString& sql, const QList<QVariant>& parameters)
{
    return Snapshot::create(m_backend, sql, parameters);
}

std::vector<std::vector<QVariant>> Connection::tableRows()
{
    return m_backend->tableRows(m_table);
}

void Connection::appendTableRows(const std::vector<std::vector<QVariant>>& rows)
{
    m_backend->appendTableRows(m_table, rows);
}
