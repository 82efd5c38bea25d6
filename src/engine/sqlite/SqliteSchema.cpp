#include "engine/sqlite/SqliteSchema.h"

#include "base/Error.h"
#include "engine/sqlite/SqliteErrors.h"
#include "engine/sqlite/Statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <sqlite3.h>

#include <utility>

namespace {

// Declared types name the column kinds; each also gives SQLite the storage affinity the kind needs (TEXT for the
// texts, REAL for date-times, which SQLite's DATETIME alone would store as whole numbers). Texts and flags are
// checked by the file itself, so another program writing it can't store what the program could not read back.
QString columnDefinition(const TableSchema::Column& column)
{
    const QString& name = column.name;
    switch (column.kind) {
    case ColumnKind::AutoIncrement:
        return name + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    case ColumnKind::Integer:
        return name + QStringLiteral(" INTEGER");
    case ColumnKind::Float:
        return name + QStringLiteral(" DOUBLE");
    case ColumnKind::Boolean:
        return QStringLiteral("%1 BOOLEAN NOT NULL DEFAULT 0 CHECK (%1 IN (0, 1))").arg(name);
    case ColumnKind::DateTime:
        return name + QStringLiteral(" DATETIME REAL");
    case ColumnKind::Text:
        return QStringLiteral("%1 VARCHAR(%2) CONSTRAINT %1_size CHECK (length(%1) <= %2)").arg(name).arg(column.size);
    case ColumnKind::Memo:
        return name + QStringLiteral(" LONGTEXT");
    }
    return name;
}

QString createStatements(const TableSchema& table)
{
    QStringList columns;
    for (const TableSchema::Column& column : table.columns)
        columns << QStringLiteral("    ") + columnDefinition(column);
    QString statements =
        QStringLiteral("CREATE TABLE %1 (\n%2\n);\n").arg(table.name, columns.join(QStringLiteral(",\n")));
    for (const QStringList& index : table.indexes)
        statements += QStringLiteral("CREATE INDEX %1_%2 ON %1 (%3);\n")
                          .arg(table.name, index.front(), index.join(QStringLiteral(", ")));
    return statements;
}

struct Database
{
    sqlite3* db = nullptr;
    ~Database() { sqlite3_close_v2(db); }
};

} // namespace

void SqliteSchema::createEmptyDatabase(const QString& path, const TableSchema& table)
{
    const QString target = QDir::cleanPath(path);
    if (QFileInfo::exists(target))
        throw EngineError(QStringLiteral("The file '%1' already exists.").arg(target));
    const QFileInfo targetInfo(target);
    if (!targetInfo.dir().exists())
        throw EngineError(QStringLiteral("The folder '%1' does not exist.").arg(targetInfo.path()));

    // Built under a temporary name and renamed, so no half-made diary is ever left under the real name.
    const QString temporary = targetInfo.dir().filePath(
        QStringLiteral(".%1.%2.new").arg(targetInfo.fileName(), QUuid::createUuid().toString(QUuid::WithoutBraces)));
    try {
        {
            Database file;
            const int rc = sqlite3_open_v2(QFile::encodeName(temporary).constData(), &file.db,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
            if (rc != SQLITE_OK)
                throw sqliteError(file.db, rc);
            Statement::execute(file.db, QStringLiteral("BEGIN"));
            char* message = nullptr;
            if (sqlite3_exec(file.db, createStatements(table).toUtf8().constData(), nullptr, nullptr, &message) !=
                SQLITE_OK) {
                const QString text = QString::fromUtf8(message);
                sqlite3_free(message);
                throw EngineError(text);
            }
            Statement::execute(file.db, QStringLiteral("COMMIT"));
            Statement journal(file.db, QStringLiteral("PRAGMA journal_mode = WAL"));
            journal.run();
        }
        if (!QFile::rename(temporary, target))
            throw EngineError(QStringLiteral("Could not create the file '%1'.").arg(target));
    } catch (...) {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-wal"));
        QFile::remove(temporary + QStringLiteral("-shm"));
        throw;
    }
}

ColumnKind SqliteSchema::kindOf(const QString& declaredType, bool autoIncrement, int* size)
{
    const QString type = declaredType.toUpper();
    static const QRegularExpression sized(QStringLiteral("\\((\\d+)\\)"));
    const auto has = [&type](const char* word) { return type.contains(QLatin1String(word)); };
    *size = 0;
    if (autoIncrement || has("COUNTER"))
        return ColumnKind::AutoIncrement;
    if (has("BOOL") || has("BIT") || has("YESNO"))
        return ColumnKind::Boolean;
    if (has("DATE") || has("TIME"))
        return ColumnKind::DateTime;
    if (has("MEMO") || has("LONGTEXT") || has("LONGCHAR") || has("CLOB"))
        return ColumnKind::Memo;
    if (has("CHAR") || has("TEXT")) {
        const QRegularExpressionMatch match = sized.match(type);
        *size = match.hasMatch() ? match.captured(1).toInt() : defaultTextSize;
        return ColumnKind::Text;
    }
    if (has("INT"))
        return ColumnKind::Integer;
    if (has("REAL") || has("FLOA") || has("DOUB") || has("NUMERIC") || has("DECIMAL") || has("CURRENCY"))
        return ColumnKind::Float;
    *size = defaultTextSize;
    return ColumnKind::Text;
}

bool SqliteSchema::hasUsableTable(sqlite3* db, const TableSchema& table)
{
    const QByteArray tableName = table.name.toUtf8();
    for (const TableSchema::Column& column : table.columns) {
        const QByteArray name = column.name.toUtf8();
        const ColumnKind expected = column.kind;
        const char* declared = nullptr;
        int notNull = 0;
        int primaryKey = 0;
        int autoIncrement = 0;
        const int rc = sqlite3_table_column_metadata(db, "main", tableName.constData(), name.constData(), &declared,
                                                     nullptr, &notNull, &primaryKey, &autoIncrement);
        if (rc != SQLITE_OK)
            return false;
        int size = 0;
        const ColumnKind kind = kindOf(QString::fromUtf8(declared), autoIncrement != 0, &size);
        // The key must be the table's row identity, which write-back addresses rows by.
        if (expected == ColumnKind::AutoIncrement && (!primaryKey || QByteArray(declared).toUpper() != "INTEGER"))
            return false;
        if (kind != expected)
            return false;
    }
    return true;
}
