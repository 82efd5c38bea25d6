#pragma once

#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "base/DateSerial.h"
#include "engine/postgres/ServerSchema.h"
#include "engine/sqlite/SqliteSchema.h"
#include "support/ServerDatabase.h"

#include <QDate>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <ostream>
#include <stdexcept>

// Where a test diary lives: a file, or a database on the test server.
enum class DiaryKind { File, Server };

inline std::ostream& operator<<(std::ostream& out, DiaryKind kind)
{
    return out << (kind == DiaryKind::File ? "File" : "Server");
}

// The name a parameterised test takes from its diary's kind.
inline std::string diaryKindName(const testing::TestParamInfo<DiaryKind>& info)
{
    return info.param == DiaryKind::File ? "File" : "Server";
}

// A new, empty diary: a file in a temporary folder, or a database of its own on the test server. Rows are put in
// with plain SQL, independent of the engine under test, and read back the same way; statements take the
// program's "?" markers on both.
class DiaryFile
{
public:
    explicit DiaryFile(DiaryKind kind = DiaryKind::File) : m_kind(kind), m_path(m_folder.filePath("db1.mdb"))
    {
        if (kind == DiaryKind::Server) {
            m_server = std::make_unique<ServerDatabase>();
            ServerSchema::createDiary(m_server->connectionInfo(), JobTable::schema());
        } else {
            SqliteSchema::createEmptyDatabase(m_path, JobTable::schema());
        }
    }

    DiaryKind kind() const { return m_kind; }
    const QString& path() const { return m_path; }
    QString folder() const { return m_folder.path(); }
    QString connectionString() const
    {
        return m_server ? m_server->connectionString() : JobTable::connectionString(m_path);
    }
    std::unique_ptr<Connection> connect(int busyTimeout = Connection::defaultBusyTimeout) const
    {
        return std::make_unique<Connection>(DiaryBackend::open(connectionString(), busyTimeout), JobTable::schema());
    }

    struct Job
    {
        QString job;
        QVariant period;
        QDate dateIsp;
        QDate dateShed;
        bool vip = false;
        QString other;
    };

    // Returns the new row's id_job.
    qint64 add(const Job& row) const
    {
        const QVariant other = row.other.isNull() ? QVariant() : QVariant(row.other);
        if (m_server)
            return m_server
                ->scalar("INSERT INTO job (job, period, date_isp, date_shed, vip, other) VALUES (?, ?, ?, ?, ?, ?) "
                         "RETURNING id_job",
                         {row.job, row.period, date(row.dateIsp), date(row.dateShed), row.vip, other})
                .toLongLong();
        return execute("INSERT INTO job (job, period, date_isp, date_shed, vip, other) VALUES (?, ?, ?, ?, ?, ?)",
                       {row.job, row.period, serial(row.dateIsp), serial(row.dateShed), row.vip ? 1 : 0, other});
    }

    // Runs one statement on a connection of its own; for a file, returns the last inserted row id.
    qint64 execute(const char* sql, const QList<QVariant>& values = {}) const
    {
        if (m_server) {
            m_server->execute(QString::fromUtf8(sql), values);
            return 0;
        }
        sqlite3* db = open();
        sqlite3_stmt* statement = prepare(db, sql, values);
        const int rc = sqlite3_step(statement);
        sqlite3_finalize(statement);
        const qint64 id = sqlite3_last_insert_rowid(db);
        sqlite3_close(db);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            throw std::runtime_error(sql);
        return id;
    }

    // The first column of the first row of a query, as text; null when there is no row.
    QVariant scalar(const char* sql, const QList<QVariant>& values = {}) const
    {
        if (m_server)
            return m_server->scalar(QString::fromUtf8(sql), values);
        sqlite3* db = open();
        sqlite3_stmt* statement = prepare(db, sql, values);
        QVariant result;
        if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
            result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return result;
    }

    static QVariant serial(const QDate& date)
    {
        return date.isValid() ? QVariant(DateSerial::fromDate(date)) : QVariant();
    }

private:
    static QVariant date(const QDate& date) { return date.isValid() ? QVariant(date) : QVariant(); }

    sqlite3* open() const
    {
        sqlite3* db = nullptr;
        sqlite3_open_v2(m_path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db, 5000);
        return db;
    }

    static sqlite3_stmt* prepare(sqlite3* db, const char* sql, const QList<QVariant>& values)
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
        for (int i = 0; i < values.size(); ++i) {
            const QVariant& value = values[i];
            if (value.isNull()) {
                sqlite3_bind_null(statement, i + 1);
            } else if (value.metaType().id() == QMetaType::Double) {
                sqlite3_bind_double(statement, i + 1, value.toDouble());
            } else if (value.metaType().id() == QMetaType::Int || value.metaType().id() == QMetaType::LongLong) {
                sqlite3_bind_int64(statement, i + 1, value.toLongLong());
            } else {
                const QByteArray text = value.toString().toUtf8();
                sqlite3_bind_text(statement, i + 1, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            }
        }
        return statement;
    }

    DiaryKind m_kind;
    QTemporaryDir m_folder;
    QString m_path;
    std::unique_ptr<ServerDatabase> m_server;
};

// Both kinds of diary, for INSTANTIATE_TEST_SUITE_P.
inline auto bothDiaryKinds()
{
    return testing::Values(DiaryKind::File, DiaryKind::Server);
}

// A record set's text as the engine gets it: lines joined, each :name a "?".
inline QString engineText(const QStringList& lines)
{
    return lines.join(QStringLiteral("\n")).replace(QStringLiteral(":period"), QStringLiteral("?"));
}
inline QString engineText(const QString& line)
{
    return engineText(QStringList{line});
}
