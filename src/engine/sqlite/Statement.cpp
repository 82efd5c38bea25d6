#include "engine/sqlite/Statement.h"

#include "base/CodePoints.h"
#include "engine/EngineErrors.h"
#include "engine/sqlite/SqliteErrors.h"

#include <sqlite3.h>

Statement::Statement(sqlite3* db, const QString& sql) : m_db(db)
{
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        throw sqliteError(db, rc);
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QVariant& value)
{
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.metaType().id()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(m_stmt, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Short:
        case QMetaType::UShort:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        default: {
            // Half of a surrogate pair has no UTF-8 form; SQLite would store bytes other tools can't read.
            const QString text = value.toString();
            if (!CodePoints::isWellFormed(text))
                throw EngineErrors::invalidText();
            rc = sqlite3_bind_text16(m_stmt, index, text.utf16(), static_cast<int>(text.size() * sizeof(char16_t)),
                                     SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK)
        throw sqliteError(m_db, rc);
}

int Statement::parameterCount() const
{
    return sqlite3_bind_parameter_count(m_stmt);
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const EngineError error = sqliteError(m_db, rc);
    sqlite3_reset(m_stmt);
    throw error;
}

void Statement::run()
{
    while (step()) {
    }
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

QString Statement::text(int column) const
{
    // The file keeps UTF-8; Qt's decoder is several times faster than asking SQLite for UTF-16. It reserves a
    // character for every byte, twice what Cyrillic needs, so the rest goes back (a shrink in place).
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    QString text = QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
    if (text.capacity() > text.size())
        text.squeeze();
    return text;
}

QByteArray Statement::utf8(int column) const
{
    return utf8View(column).toByteArray();
}

QByteArrayView Statement::utf8View(int column) const
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(data, sqlite3_column_bytes(m_stmt, column));
}

void Statement::execute(sqlite3* db, const QString& sql)
{
    Statement statement(db, sql);
    statement.run();
}
