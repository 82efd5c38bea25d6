#include "diary/DiaryBackend.h"

#include "diary/DiaryIdentity.h"
#include "diary/JobTable.h"
#include "engine/postgres/PostgresBackend.h"
#include "engine/postgres/ServerConnectionInfo.h"
#include "engine/postgres/ServerSchema.h"
#include "engine/sqlite/SqliteBackend.h"
#include "engine/sqlite/SqliteSchema.h"

namespace DiaryBackend {

std::shared_ptr<Backend> open(const QString& connectionString, int busyTimeoutMilliseconds)
{
    if (Connection::namesServer(connectionString))
        return std::make_shared<PostgresBackend>(ServerConnectionInfo::of(connectionString), JobTable::schema());
    return SqliteBackend::open(Connection::dataSourcePath(connectionString), JobTable::schema(),
                               busyTimeoutMilliseconds);
}

void create(const QString& connectionString)
{
    if (Connection::namesServer(connectionString))
        ServerSchema::createDiary(ServerConnectionInfo::of(connectionString), JobTable::schema());
    else
        SqliteSchema::createEmptyDatabase(Connection::dataSourcePath(connectionString), JobTable::schema());
    // Made with the diary, so that a user who may only read it finds it there too.
    Connection diary(open(connectionString), JobTable::schema());
    DiaryIdentity::of(diary);
}

void createTemplate(const QString& path)
{
    SqliteSchema::createEmptyDatabase(path, JobTable::schema());
}

} // namespace DiaryBackend
