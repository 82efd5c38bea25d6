#pragma once

#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/DateSerial.h"
#include "engine/Schema.h"

#include <QDate>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

// A new, empty diary file in a temporary folder. Rows are put in with plain SQLite, independent of the engine
// under test, and read back the same way.
class DiaryFile
{
public:
    DiaryFile() : m_path(m_folder.filePath(QStringLiteral("db1.mdb")))
    {
        Schema::createEmptyDatabase(m_path, JobTable::schema());
    }

    const QString& path() const { return m_path; }
    QString folder() const { return m_folder.path(); }
    QString connectionString() const { return JobTable::connectionString(m_path); }
    std::unique_ptr<Connection> connect(int busyTimeout = Connection::defaultBusyTimeout) const
    {
        return std::make_unique<Connection>(connectionString(), JobTable::schema(), busyTimeout);
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

    qint64 add(const Job& row) const
    {
        return execute("INSERT INTO job (job, period, date_isp, date_shed, vip, other) VALUES (?, ?, ?, ?, ?, ?)",
                       {row.job, row.period, serial(row.dateIsp), serial(row.dateShed), row.vip ? 1 : 0,
                        row.other.isNull() ? QVariant() : QVariant(row.other)});
    }

    // Runs one statement on a connection of its own; returns the last inserted row id.
    qint64 execute(const char* sql, const QList<QVariant>& values = {}) const
    {
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

    QTemporaryDir m_folder;
    QString m_path;
};

// A record set's text as the engine gets it: lines joined, each :name a "?".
inline QString engineText(const QStringList& lines)
{
    return lines.join(QStringLiteral("\n")).replace(QStringLiteral(":period"), QStringLiteral("?"));
}
inline QString engineText(const QString& line)
{
    return engineText(QStringList{line});
}
