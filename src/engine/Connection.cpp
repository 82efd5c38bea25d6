#include "engine/Connection.h"

#include "engine/Backend.h"
#include "engine/EngineErrors.h"

#include <QDir>

#include <utility>

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
    // A relative path would name whatever file the process's current folder holds at that moment: whoever made
    // the connection string resolves it first, against the folder it is relative to.
    const QString path = dataSource(connectionString);
    if (QDir::isRelativePath(path))
        throw EngineErrors::relativeDataSource(path);
    return QDir::cleanPath(path);
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

Connection::Connection(std::shared_ptr<Backend> backend, const TableSchema& required)
    : m_table(required), m_backend(std::move(backend))
{
}

QString Connection::filePath() const
{
    return m_backend->filePath();
}

Connection::~Connection() = default;

std::unique_ptr<Snapshot> Connection::select(const QString& sql, const QList<QVariant>& parameters)
{
    return Snapshot::create(m_backend, sql, parameters);
}

std::vector<qint64> Connection::searchJobs(const SearchWords& words, int limit)
{
    return m_backend->searchJobs(words, limit);
}

std::vector<std::vector<QVariant>> Connection::tableRows()
{
    return m_backend->tableRows(m_table);
}

void Connection::appendTableRows(const std::vector<std::vector<QVariant>>& rows)
{
    m_backend->appendTableRows(m_table, rows);
}

void Connection::writeBatch(const QByteArray& token, const std::function<void(Backend::Batch&)>& work)
{
    m_backend->writeBatch(token, work);
}
