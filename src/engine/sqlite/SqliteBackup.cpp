#include "engine/sqlite/SqliteBackup.h"

#include "base/RegularFile.h"
#include "engine/sqlite/SearchIndex.h"
#include "engine/sqlite/SqliteErrors.h"
#include "engine/sqlite/SqliteSchema.h"
#include "engine/sqlite/Statement.h"
#include "engine/sqlite/WriteTransaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include <sqlite3.h>

namespace {

// What every SQLite file begins with.
constexpr QByteArrayView fileHeader("SQLite format 3\0", 16);

// The program's own tables are named so; the search index among them is the diary's, never carried.
const QString ownPrefix = QStringLiteral("chronoteka_");
const QString searchPrefix = QStringLiteral("chronoteka_search");

std::shared_ptr<sqlite3> openDatabase(const QString& path, int flags)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    std::shared_ptr<sqlite3> opened(db, sqlite3_close_v2);
    if (rc != SQLITE_OK)
        throw sqliteError(db, rc);
    // A copy may come from anywhere: nothing in its schema runs, and nothing written can damage the file's structure.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_extended_result_codes(db, 1);
    return opened;
}

// The first value of a statement's first row, as text; empty when it gives none.
QString firstText(sqlite3* db, const QString& sql)
{
    Statement statement(db, sql);
    return statement.step() ? statement.text(0) : QString();
}

QStringList names(sqlite3* db, const QString& sql, const QString& parameter = {})
{
    Statement statement(db, sql);
    if (statement.parameterCount() > 0)
        statement.bind(1, parameter);
    QStringList found;
    while (statement.step())
        found << statement.text(0);
    return found;
}

// Writes the file's data to the disk, so that a copy renamed into place is whole after a crash.
void syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!synced)
        throw EngineError(QString::fromLocal8Bit(std::strerror(error)));
}

QString quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

} // namespace

namespace SqliteBackup {

void copy(const QString& diaryPath, const QString& target)
{
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() || targetInfo.isSymLink())
        throw EngineError(QStringLiteral("The file '%1' already exists.").arg(target));
    const QString temporary = targetInfo.dir().filePath(
        QStringLiteral(".%1.%2.new").arg(targetInfo.fileName(), QUuid::createUuid().toString(QUuid::WithoutBraces)));
    try {
        {
            const std::shared_ptr<sqlite3> source = openDatabase(diaryPath, SQLITE_OPEN_READWRITE);
            sqlite3_busy_timeout(source.get(), 5000);
            const std::shared_ptr<sqlite3> copy = openDatabase(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            // Nothing of the copy counts until it is renamed: one sync of the whole file before that does what a
            // sync of every write would.
            Statement::execute(copy.get(), QStringLiteral("PRAGMA synchronous = OFF"));
            sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
            if (!backup)
                throw sqliteError(copy.get(), sqlite3_errcode(copy.get()));
            // All pages in one step: one read transaction, so writers elsewhere never make it start over.
            const int stepped = sqlite3_backup_step(backup, -1);
            const int finished = sqlite3_backup_finish(backup);
            if (stepped != SQLITE_DONE)
                throw sqliteError(source.get(), stepped);
            if (finished != SQLITE_OK)
                throw sqliteError(copy.get(), finished);
            // A copy stands alone: without a write-ahead log it is one file, read where it lies even read-only.
            Statement::execute(copy.get(), QStringLiteral("PRAGMA journal_mode = DELETE"));
            Statement::execute(copy.get(), QStringLiteral("PRAGMA user_version = %1").arg(formatVersion));
        }
        syncFile(temporary);
        if (!QFile::rename(temporary, target))
            throw EngineError(QStringLiteral("Could not create the file '%1'.").arg(target));
    } catch (...) {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-journal"));
        throw;
    }
}

void stamp(const QString& path)
{
    const std::shared_ptr<sqlite3> db = openDatabase(path, SQLITE_OPEN_READWRITE);
    Statement::execute(db.get(), QStringLiteral("PRAGMA journal_mode = DELETE"));
    Statement::execute(db.get(), QStringLiteral("PRAGMA user_version = %1").arg(formatVersion));
}

Checked check(const QString& path, const TableSchema& table, bool sound)
{
    Checked checked;
    // Told apart before anything opens it: opening a FIFO to read would wait for a writer.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        checked.verdict = Verdict::NotRegular;
        return checked;
    }
    QByteArray header;
    try {
        header = RegularFile::read(path, fileHeader.size(), [](const QString& reason) { return Error(reason); });
    } catch (const Error& error) {
        checked.verdict = Verdict::NotRegular;
        checked.reason = error.text();
        return checked;
    }
    if (header.size() != fileHeader.size() || !header.startsWith(fileHeader))
        return checked;
    try {
        const std::shared_ptr<sqlite3> db = openDatabase(path, SQLITE_OPEN_READONLY);
        if (!SqliteSchema::hasUsableTable(db.get(), table))
            return checked;
        if (firstText(db.get(), QStringLiteral("PRAGMA user_version")).toInt() > formatVersion) {
            checked.verdict = Verdict::Newer;
            return checked;
        }
        if (sound && firstText(db.get(), QStringLiteral("PRAGMA quick_check")) != QLatin1String("ok")) {
            checked.verdict = Verdict::Damaged;
            return checked;
        }
        checked.events =
            firstText(db.get(), QStringLiteral("SELECT count(*) FROM %1").arg(quoted(table.name))).toLongLong();
        checked.verdict = Verdict::Diary;
    } catch (const EngineError&) {
        // A file with SQLite's header whose pages can't be read is a damaged database.
        checked.verdict = Verdict::Damaged;
    }
    return checked;
}

void restore(const QString& diaryPath, const QString& copyPath, const TableSchema& table, const QStringList& kept,
             int busyTimeoutMilliseconds)
{
    const std::shared_ptr<sqlite3> owner = openDatabase(diaryPath, SQLITE_OPEN_READWRITE);
    sqlite3* db = owner.get();
    sqlite3_busy_timeout(db, busyTimeoutMilliseconds);
    {
        Statement attach(db, QStringLiteral("ATTACH DATABASE ? AS copy"));
        attach.bind(1, copyPath);
        attach.run();
    }
    const auto carried = [&](const QString& name) {
        if (name.compare(table.name, Qt::CaseInsensitive) == 0)
            return true;
        return name.startsWith(ownPrefix, Qt::CaseInsensitive) && !name.startsWith(searchPrefix, Qt::CaseInsensitive) &&
               !kept.contains(name, Qt::CaseInsensitive);
    };
    const QString tablesOf = QStringLiteral("SELECT name FROM %1.sqlite_schema WHERE type = 'table' ORDER BY name");
    QStringList fromCopy = names(db, tablesOf.arg(QStringLiteral("copy")));
    fromCopy.removeIf([&](const QString& name) { return !carried(name); });
    QStringList inDiary = names(db, tablesOf.arg(QStringLiteral("main")));
    inDiary.removeIf([&](const QString& name) { return !carried(name); });

    WriteTransaction transaction(db);
    for (const QString& name : inDiary)
        if (!fromCopy.contains(name, Qt::CaseInsensitive))
            Statement::execute(db, QStringLiteral("DELETE FROM main.%1").arg(quoted(name)));
    for (const QString& name : fromCopy) {
        if (!inDiary.contains(name, Qt::CaseInsensitive)) {
            Statement definition(
                db, QStringLiteral("SELECT sql FROM copy.sqlite_schema WHERE type = 'table' AND name = ?"));
            definition.bind(1, name);
            if (definition.step())
                Statement::execute(db, definition.text(0));
        }
        // The columns both have, so that a copy from before a column was added still carries the rest.
        const QString columnsOf = QStringLiteral("SELECT name FROM pragma_table_info(?, '%1')");
        const QStringList inCopy = names(db, columnsOf.arg(QStringLiteral("copy")), name);
        const QStringList inMain = names(db, columnsOf.arg(QStringLiteral("main")), name);
        QStringList shared;
        for (const QString& column : inMain)
            if (inCopy.contains(column, Qt::CaseInsensitive))
                shared << quoted(column);
        // Tables alike take "SELECT *", which SQLite copies a page's records at a time instead of row by row
        // (a million events in seconds rather than half a minute).
        const QString insert = inMain == inCopy
                                   ? QStringLiteral("INSERT INTO main.%1 SELECT * FROM copy.%1").arg(quoted(name))
                                   : QStringLiteral("INSERT INTO main.%1 (%2) SELECT %2 FROM copy.%1")
                                         .arg(quoted(name), shared.join(QStringLiteral(", ")));
        Statement::execute(db, QStringLiteral("DELETE FROM main.%1").arg(quoted(name)));
        Statement::execute(db, insert);
    }
    // The index held the diary's texts under keys the copy may give to others.
    SearchIndex::forget(db);
    transaction.commit();
    Statement::execute(db, QStringLiteral("DETACH DATABASE copy"));
}

} // namespace SqliteBackup
