#include "engine/sqlite/SqliteBackend.h"

#include "base/Clock.h"
#include "base/DateSerial.h"
#include "engine/EngineErrors.h"
#include "engine/UndoJournal.h"
#include "engine/sqlite/SearchIndex.h"
#include "engine/sqlite/SqliteFunctions.h"
#include "engine/sqlite/SqliteSchema.h"
#include "engine/sqlite/Statement.h"
#include "engine/sqlite/WriteTransaction.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cmath>

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
    // A foreign diary's triggers would run on the user's edits and could change or delete other rows unseen; the
    // program's own, which record changed keys for the search index, stand for writers other than the program,
    // whose writes record themselves. With triggers off a view can't be written either (that takes an INSTEAD OF
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
    if (!SqliteSchema::hasUsableTable(db, required))
        throw EngineErrors::unrecognizedFormat(path);
    if (readOnly)
        throw EngineErrors::cannotOpen(path);

    // Other processes may have the file open too: with a write-ahead log readers never block the one writer.
    const int rc = sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        throw EngineErrors::fileInUse(path);
    SqliteFunctions::install(db);
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

// How a text cell is read: a whole list is kept as the stored UTF-8 and decoded when a cell is first read, since
// only the rows on the screen are ever read for most lists; a single re-read row is decoded at once.
QVariant readCell(const Statement& statement, int column, ColumnKind kind)
{
    if (statement.isNull(column))
        return {};
    switch (kind) {
    case ColumnKind::Boolean:
        return QVariant(statement.integer(column) != 0);
    case ColumnKind::AutoIncrement:
    case ColumnKind::Integer:
        return QVariant(statement.integer(column));
    case ColumnKind::Float:
    case ColumnKind::DateTime:
        return QVariant(statement.real(column));
    case ColumnKind::Text:
    case ColumnKind::Memo:
        break;
    }
    return QVariant(statement.text(column));
}

// The same cell as a select hands it over, its text left in the statement's UTF-8.
void readCell(const Statement& statement, int column, ColumnKind kind, Backend::Cell& cell)
{
    cell.isNull = statement.isNull(column);
    if (cell.isNull)
        return;
    switch (kind) {
    case ColumnKind::Boolean:
        cell.integer = statement.integer(column) != 0 ? 1 : 0;
        break;
    case ColumnKind::AutoIncrement:
    case ColumnKind::Integer:
        cell.integer = statement.integer(column);
        break;
    case ColumnKind::Float:
    case ColumnKind::DateTime:
        cell.real = statement.real(column);
        break;
    case ColumnKind::Text:
    case ColumnKind::Memo:
        cell.text = statement.utf8View(column);
        break;
    }
}

// The columns of a prepared select, and which of them are the table's; the row identity the translation adds
// last is not among them.
std::pair<std::vector<ColumnInfo>, std::vector<int>> describeColumns(sqlite3* db, const Statement& statement,
                                                                     const Dialect::Translation& translation)
{
    sqlite3_stmt* handle = statement.handle();
    const int count = sqlite3_column_count(handle) - (translation.hasRowIdentity ? 1 : 0);
    std::vector<ColumnInfo> columns;
    std::vector<int> tableColumns;
    for (int i = 0; i < count; ++i) {
        ColumnInfo column;
        column.name = QString::fromUtf8(sqlite3_column_name(handle, i));
        const char* origin = sqlite3_column_origin_name(handle, i);
        const char* table = sqlite3_column_table_name(handle, i);
        const char* declared = nullptr;
        int autoIncrement = 0;
        if (origin && table &&
            sqlite3_table_column_metadata(db, sqlite3_column_database_name(handle, i), table, origin, &declared,
                                          nullptr, nullptr, nullptr, &autoIncrement) == SQLITE_OK) {
            column.baseColumn = QString::fromUtf8(origin);
            column.kind = SqliteSchema::kindOf(QString::fromUtf8(declared), autoIncrement != 0, &column.size);
            const bool fromTable = translation.hasRowIdentity &&
                                   QString::fromUtf8(table).compare(translation.table, Qt::CaseInsensitive) == 0;
            column.readOnly = !fromTable || column.kind == ColumnKind::AutoIncrement;
            if (fromTable)
                tableColumns.push_back(i);
        } else {
            column.kind = ColumnKind::Text;
            column.size = defaultTextSize;
            column.readOnly = true;
        }
        columns.push_back(std::move(column));
    }
    return {std::move(columns), std::move(tableColumns)};
}

QStringList tableColumnNames(const Backend::RowWrite& write)
{
    QStringList names;
    for (int c : write.tableColumns)
        names << Dialect::quotedName(write.columns[static_cast<size_t>(c)].baseColumn);
    return names;
}

} // namespace

namespace {

// A batch's statements on the file, inside the transaction writeBatch holds.
class FileBatch : public Backend::Batch
{
public:
    // journal: the undo journal, which records the batch's writes of events while it records a step.
    FileBatch(sqlite3* db, UndoJournal* journal)
        : m_db(db), m_journal(journal), m_now(DateSerial::fromDateTime(Clock::now()))
    {
    }

    void run(const QString& sql, const QList<QVariant>& parameters) override { write(sql, parameters); }

    qint64 insert(const QString& sql, const QList<QVariant>& parameters) override
    {
        write(sql, parameters);
        return sqlite3_last_insert_rowid(m_db);
    }

    std::vector<std::vector<QVariant>> rows(const QString& sql, const QList<QVariant>& parameters) override
    {
        const Dialect::Translation translation = Dialect::translate(sql);
        Statement statement(m_db, translation.sql);
        bind(statement, translation, parameters);
        const auto [columns, tableColumns] = describeColumns(m_db, statement, translation);
        std::vector<std::vector<QVariant>> rows;
        while (statement.step()) {
            std::vector<QVariant> row;
            for (size_t c = 0; c < columns.size(); ++c)
                row.push_back(readCell(statement, static_cast<int>(c),
                                       columns[c].baseColumn.isEmpty() ? ColumnKind::Text : columns[c].kind));
            rows.push_back(std::move(row));
        }
        return rows;
    }

private:
    static void bind(Statement& statement, const Dialect::Translation& translation, const QList<QVariant>& parameters)
    {
        if (parameters.size() < translation.parameterCount)
            throw EngineErrors::missingParameters();
        if (parameters.size() > translation.parameterCount)
            throw EngineErrors::tooManyParameters();
        for (int i = 0; i < translation.parameterCount; ++i) {
            const QVariant& value = parameters[i];
            // The file keeps date-times as serials, as the record sets write them.
            if (value.metaType().id() == QMetaType::QDateTime && !value.isNull())
                statement.bind(i + 1, DateSerial::fromDateTime(value.toDateTime()));
            else if (value.metaType().id() == QMetaType::QDate && !value.isNull())
                statement.bind(i + 1, DateSerial::fromDate(value.toDate()));
            else
                statement.bind(i + 1, value);
        }
    }

    // An event written is recorded for the search index and stamped, as a post of the program's would be.
    void write(const QString& sql, const QList<QVariant>& parameters)
    {
        using Write = Dialect::Translation::Write;
        const Dialect::Translation translation = Dialect::translate(sql);
        const bool event =
            translation.write != Write::None &&
            translation.writtenTable.compare(QLatin1String(SearchIndex::jobTable), Qt::CaseInsensitive) == 0;
        const bool recorded = event && m_journal && m_journal->isRecording();
        if (recorded && translation.write != Write::Insert)
            noteBefore(translation, parameters);
        Statement statement(m_db, event ? translation.sql + QStringLiteral(" RETURNING rowid") : translation.sql);
        bind(statement, translation, parameters);
        std::vector<qint64> written;
        while (statement.step())
            if (event)
                written.push_back(statement.integer(0));
        for (const qint64 key : written) {
            SearchIndex::noteChanged(m_db, key);
            if (recorded && translation.write == Write::Insert)
                m_journal->noteAdded(key);
            if (translation.write == Write::Delete || !m_stamped)
                continue;
            Statement stamp(m_db, QStringLiteral("UPDATE job SET date_zap = ? WHERE rowid = ?"));
            stamp.bind(1, m_now);
            stamp.bind(2, key);
            stamp.run();
        }
    }

    // The rows an update or delete is about to change are found by running it once and rolling it back, as its
    // condition may be anything; their images are read before it runs for good.
    void noteBefore(const Dialect::Translation& translation, const QList<QVariant>& parameters)
    {
        Statement::execute(m_db, QStringLiteral("SAVEPOINT journal_keys"));
        std::vector<qint64> keys;
        {
            Statement probe(m_db, translation.sql + QStringLiteral(" RETURNING rowid"));
            bind(probe, translation, parameters);
            while (probe.step())
                keys.push_back(probe.integer(0));
        }
        Statement::execute(m_db, QStringLiteral("ROLLBACK TO journal_keys"));
        Statement::execute(m_db, QStringLiteral("RELEASE journal_keys"));
        for (const qint64 key : keys)
            m_journal->noteBefore(*this, key);
    }

    sqlite3* m_db;
    UndoJournal* m_journal;
    const double m_now;
};

} // namespace

SqliteBackend::SqliteBackend(std::shared_ptr<sqlite3> db, QString path) : m_db(std::move(db)), m_path(std::move(path))
{
}

SqliteBackend::~SqliteBackend() = default;

void SqliteBackend::noteChanged(const QString& table, qint64 rowIdentity) const
{
    if (table.compare(QLatin1String(SearchIndex::jobTable), Qt::CaseInsensitive) == 0)
        SearchIndex::noteChanged(m_db.get(), rowIdentity);
}

std::shared_ptr<SqliteBackend> SqliteBackend::open(const QString& path, const TableSchema& required,
                                                   int busyTimeoutMilliseconds)
{
    auto backend = std::make_shared<SqliteBackend>(openFile(path, required, busyTimeoutMilliseconds), path);
    // Opening checked that its key is the rowid's alias.
    backend->m_known = required;
    backend->m_journal = std::make_unique<UndoJournal>(*backend->m_known);
    // A post's two images are read with one statement kept prepared: through a batch's select, translated and
    // described each time, they took most of what the step adds to the post.
    backend->m_journal->setImageReader([self = backend.get()](qint64 key) { return self->readImage(key); });
    backend->m_journal->setStatementRunner(
        [self = backend.get()](const QString& sql, const QList<QVariant>& parameters) {
            return self->runJournalStatement(sql, parameters);
        });
    return backend;
}

Dialect::Translation SqliteBackend::translate(const QString& text) const
{
    return Dialect::translate(text, m_known ? &*m_known : nullptr);
}

void SqliteBackend::select(const Dialect::Translation& translation, const QList<QVariant>& parameters, RowSink& sink)
{
    Statement statement(m_db.get(), translation.sql);
    for (int i = 0; i < translation.parameterCount; ++i)
        statement.bind(i + 1, parameters[i]);
    readRows(statement, translation, sink);
}

std::vector<qint64> SqliteBackend::selectKeys(const Dialect::Translation& translation,
                                              const QList<QVariant>& parameters)
{
    Statement statement(m_db.get(), translation.keysSql);
    for (int i = 0; i < translation.parameterCount; ++i)
        statement.bind(i + 1, parameters[i]);
    std::vector<qint64> keys;
    while (statement.step())
        keys.push_back(statement.integer(0));
    return keys;
}

void SqliteBackend::selectRows(const Dialect::Translation& translation, std::span<const qint64> keys, RowSink& sink)
{
    // Keys close together, as a list in the order of the key has them, are read as one run of the table, which costs
    // less than finding each; the rows between that were not asked for are the sink's to pass over.
    if (!keys.empty()) {
        const auto [low, high] = std::minmax_element(keys.begin(), keys.end());
        if (static_cast<quint64>(*high - *low) < 4 * keys.size()) {
            Statement statement(m_db.get(), translation.rowsSql + QStringLiteral(" BETWEEN ? AND ?"));
            statement.bind(1, QVariant(*low));
            statement.bind(2, QVariant(*high));
            readRows(statement, translation, sink);
            return;
        }
    }
    // Else they go as one JSON list, so the statement is the same text whatever their number.
    QByteArray list("[");
    for (const qint64 key : keys) {
        if (list.size() > 1)
            list += ',';
        list += QByteArray::number(key);
    }
    list += ']';
    Statement statement(m_db.get(), translation.rowsSql + QStringLiteral(" IN (SELECT value FROM json_each(?))"));
    statement.bind(1, QVariant(QString::fromLatin1(list)));
    readRows(statement, translation, sink);
}

void SqliteBackend::readRows(Statement& statement, const Dialect::Translation& translation, RowSink& sink)
{
    auto [columns, tableColumns] = describeColumns(m_db.get(), statement, translation);
    std::vector<ColumnKind> kinds;
    for (const ColumnInfo& column : columns)
        kinds.push_back(column.baseColumn.isEmpty() ? ColumnKind::Text : column.kind);
    sink.describe(std::move(columns), std::move(tableColumns));

    const int n = static_cast<int>(kinds.size());
    const int width = sqlite3_column_count(statement.handle());
    std::vector<Cell> cells(kinds.size());
    while (statement.step()) {
        // A statement made again at its step, as a changed schema makes it, reads the columns as they are now.
        if (sqlite3_column_count(statement.handle()) != width)
            throw EngineErrors::columnsChanged();
        for (int c = 0; c < n; ++c)
            readCell(statement, c, kinds[static_cast<size_t>(c)], cells[static_cast<size_t>(c)]);
        sink.addRow(translation.hasRowIdentity ? statement.integer(n) : 0, cells);
    }
}

// What the database stored for the row, for each of the table columns: defaults, a null boolean turned false, a
// new key.
std::vector<QVariant> SqliteBackend::rereadRow(const RowWrite& write, qint64 rowIdentity) const
{
    const QStringList names = tableColumnNames(write);
    if (names.isEmpty())
        return {};
    Statement statement(m_db.get(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                        .arg(names.join(QStringLiteral(", ")), Dialect::quotedName(write.table)));
    statement.bind(1, QVariant(rowIdentity));
    if (!statement.step())
        throw EngineErrors::rowNotLocated();
    std::vector<QVariant> values;
    for (size_t i = 0; i < write.tableColumns.size(); ++i)
        values.push_back(
            readCell(statement, static_cast<int>(i), write.columns[static_cast<size_t>(write.tableColumns[i])].kind));
    return values;
}

namespace {

// Whether two cells, each as a select reads it, hold the same value; a date the program can't show (NaN) is the
// same as another.
bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double) {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    if (a.typeId() == QMetaType::Bool || b.typeId() == QMetaType::Bool)
        return a.toBool() == b.toBool();
    if (a.typeId() == QMetaType::LongLong || b.typeId() == QMetaType::LongLong)
        return a.toLongLong() == b.toLongLong();
    return a.toString() == b.toString();
}

} // namespace

// Read as a select reads the row and compared here, so a value of a foreign diary stored in another type than its
// column's still counts as what was read.
bool SqliteBackend::holdsOneOf(const RowWrite& write, qint64 rowIdentity, const RowStates& states) const
{
    std::vector<int> columns;
    for (const std::map<int, QVariant>& state : states)
        for (const auto& entry : state)
            if (std::find(columns.begin(), columns.end(), entry.first) == columns.end())
                columns.push_back(entry.first);
    QStringList names{QStringLiteral("1")};
    for (int column : columns)
        names << Dialect::quotedName(write.columns[static_cast<size_t>(column)].baseColumn);
    Statement statement(m_db.get(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                        .arg(names.join(QStringLiteral(", ")), Dialect::quotedName(write.table)));
    statement.bind(1, QVariant(rowIdentity));
    if (!statement.step())
        return false;
    std::map<int, QVariant> row;
    for (size_t i = 0; i < columns.size(); ++i)
        row[columns[i]] =
            readCell(statement, static_cast<int>(i) + 1, write.columns[static_cast<size_t>(columns[i])].kind);
    return states.empty() || std::any_of(states.begin(), states.end(), [&row](const std::map<int, QVariant>& state) {
               return std::all_of(state.begin(), state.end(),
                                  [&row](const auto& entry) { return sameValue(row[entry.first], entry.second); });
           });
}

std::vector<QVariant> SqliteBackend::updateRow(const RowWrite& write, qint64 rowIdentity,
                                               const std::map<int, QVariant>& values, const RowStates& expected)
{
    QStringList assignments;
    for (const auto& entry : values)
        assignments << Dialect::quotedName(write.columns[static_cast<size_t>(entry.first)].baseColumn) +
                           QStringLiteral(" = ?");
    Statement statement(m_db.get(), QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                        .arg(Dialect::quotedName(write.table), assignments.join(QStringLiteral(", "))));
    int index = 1;
    for (const auto& entry : values)
        statement.bind(index++, entry.second);
    statement.bind(index++, QVariant(rowIdentity));

    const std::optional<UndoJournal::Recording> recording = recordingFor(write.table);
    WriteTransaction transaction(m_db.get());
    if (!holdsOneOf(write, rowIdentity, expected))
        throw EngineErrors::rowNotLocated();
    FileBatch batch(m_db.get(), m_journal.get());
    if (recording)
        m_journal->noteBefore(batch, rowIdentity);
    statement.run();
    noteChanged(write.table, rowIdentity);
    std::vector<QVariant> stored = rereadRow(write, rowIdentity);
    if (recording)
        m_journal->finish(batch);
    transaction.commit();
    return stored;
}

// A file's write either is done or fails whole: a try is never in doubt, so the tries need no token.
std::pair<qint64, std::vector<QVariant>>
SqliteBackend::insertRow(const RowWrite& write, const std::map<int, QVariant>& values, const InsertTries&)
{
    QStringList names;
    QStringList markers;
    for (const auto& entry : values) {
        names << Dialect::quotedName(write.columns[static_cast<size_t>(entry.first)].baseColumn);
        markers << QStringLiteral("?");
    }
    const QString table = Dialect::quotedName(write.table);
    Statement statement(m_db.get(), names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                                    : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                          .arg(table, names.join(QStringLiteral(", ")),
                                                               markers.join(QStringLiteral(", "))));
    int index = 1;
    for (const auto& entry : values)
        statement.bind(index++, entry.second);

    const std::optional<UndoJournal::Recording> recording = recordingFor(write.table);
    WriteTransaction transaction(m_db.get());
    statement.run();
    const qint64 rowIdentity = sqlite3_last_insert_rowid(m_db.get());
    noteChanged(write.table, rowIdentity);
    std::vector<QVariant> stored = rereadRow(write, rowIdentity);
    if (recording) {
        FileBatch batch(m_db.get(), m_journal.get());
        m_journal->noteAdded(rowIdentity);
        m_journal->finish(batch);
    }
    transaction.commit();
    return {rowIdentity, std::move(stored)};
}

void SqliteBackend::deleteRow(const RowWrite& write, qint64 rowIdentity, const RowStates& expected)
{
    Statement statement(m_db.get(),
                        QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(Dialect::quotedName(write.table)));
    statement.bind(1, QVariant(rowIdentity));
    const std::optional<UndoJournal::Recording> recording = recordingFor(write.table);
    WriteTransaction transaction(m_db.get());
    if (!holdsOneOf(write, rowIdentity, expected))
        throw EngineErrors::rowNotLocated();
    FileBatch batch(m_db.get(), m_journal.get());
    if (recording)
        m_journal->noteBefore(batch, rowIdentity);
    statement.run();
    noteChanged(write.table, rowIdentity);
    if (recording)
        m_journal->finish(batch);
    transaction.commit();
}

std::vector<std::vector<QVariant>> SqliteBackend::tableRows(const TableSchema& table)
{
    QStringList names;
    QString key;
    for (const TableSchema::Column& column : table.columns) {
        names << Dialect::quotedName(column.name);
        if (column.kind == ColumnKind::AutoIncrement)
            key = Dialect::quotedName(column.name);
    }
    Statement statement(m_db.get(), QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                        .arg(names.join(QStringLiteral(", ")), Dialect::quotedName(table.name),
                                             key.isEmpty() ? QStringLiteral("rowid") : key));
    std::vector<std::vector<QVariant>> rows;
    while (statement.step()) {
        std::vector<QVariant> row;
        for (size_t c = 0; c < table.columns.size(); ++c)
            row.push_back(readCell(statement, static_cast<int>(c), table.columns[c].kind));
        rows.push_back(std::move(row));
    }
    return rows;
}

void SqliteBackend::appendTableRows(const TableSchema& table, const std::vector<std::vector<QVariant>>& rows)
{
    QStringList names;
    QStringList markers;
    for (const TableSchema::Column& column : table.columns) {
        names << Dialect::quotedName(column.name);
        markers << QStringLiteral("?");
    }
    WriteTransaction transaction(m_db.get());
    Statement existing(m_db.get(), QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(Dialect::quotedName(table.name)));
    if (existing.step())
        throw EngineErrors::notEmpty();
    Statement insert(m_db.get(), QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                     .arg(Dialect::quotedName(table.name), names.join(QStringLiteral(", ")),
                                          markers.join(QStringLiteral(", "))));
    for (const std::vector<QVariant>& row : rows) {
        for (size_t c = 0; c < row.size() && c < table.columns.size(); ++c)
            insert.bind(static_cast<int>(c) + 1, row[c]);
        insert.run();
        insert.reset();
    }
    // The rows keep their keys, which the index may take for ones it holds already.
    SearchIndex::forget(m_db.get());
    transaction.commit();
}

std::optional<QString> SqliteBackend::property(const QString& name)
{
    if (sqlite3_table_column_metadata(m_db.get(), "main", propertyTable, "value", nullptr, nullptr, nullptr, nullptr,
                                      nullptr) != SQLITE_OK)
        return std::nullopt;
    Statement statement(m_db.get(), QStringLiteral("SELECT value FROM %1 WHERE name = ?").arg(propertyTable));
    statement.bind(1, name);
    if (!statement.step())
        return std::nullopt;
    return statement.text(0);
}

// The file is known writable: one that may only be read is refused at open.
std::optional<QString> SqliteBackend::storeProperty(const QString& name, const QString& value, PropertyWrite write)
{
    // The write lock, taken first, keeps out any other program storing at the same time.
    WriteTransaction transaction(m_db.get());
    // Made unless there, whatever this connection last read of the schema.
    Statement::execute(m_db.get(), QString::fromLatin1(propertyTableDefinition));
    Statement insert(m_db.get(), QStringLiteral("INSERT INTO %1 (name, value) VALUES (?, ?) ON CONFLICT (name) %2")
                                     .arg(propertyTable, write == PropertyWrite::Replace
                                                             ? QStringLiteral("DO UPDATE SET value = excluded.value")
                                                             : QStringLiteral("DO NOTHING")));
    insert.bind(1, name);
    insert.bind(2, value);
    insert.run();
    std::optional<QString> stored = property(name);
    transaction.commit();
    return stored;
}

std::vector<qint64> SqliteBackend::searchJobs(const SearchWords& words, int limit)
{
    if (!m_search)
        m_search = std::make_unique<SearchIndex>(m_db.get());
    return m_search->search(words, limit);
}

void SqliteBackend::interrupt()
{
    sqlite3_interrupt(m_db.get());
}

void SqliteBackend::prepareSearch(const SearchProgress& progress)
{
    if (!m_search)
        m_search = std::make_unique<SearchIndex>(m_db.get());
    m_search->prepare(progress);
}

// A file's transaction either is stored or fails whole, so its tries need no token.
void SqliteBackend::writeBatch(const QByteArray&, const std::function<void(Batch&)>& work)
{
    const std::optional<UndoJournal::Recording> recording = recordingFor(m_known ? m_known->name : QString());
    WriteTransaction transaction(m_db.get());
    FileBatch batch(m_db.get(), m_journal.get());
    work(batch);
    if (recording)
        m_journal->finish(batch);
    transaction.commit();
}

std::optional<UndoJournal::Recording> SqliteBackend::recordingFor(const QString& table)
{
    QString label = takeJournalLabel();
    if (label.isEmpty() || !m_known || table.compare(m_known->name, Qt::CaseInsensitive) != 0 || !readyJournal())
        return std::nullopt;
    return std::optional<UndoJournal::Recording>(std::in_place, *m_journal, std::move(label));
}

UndoJournal::Image SqliteBackend::readImage(qint64 key)
{
    if (!m_imageStatement) {
        QStringList names;
        for (const TableSchema::Column& column : m_known->columns)
            names << Dialect::quotedName(column.name);
        m_imageStatement = std::make_unique<Statement>(
            m_db.get(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                            .arg(names.join(QStringLiteral(", ")), Dialect::quotedName(m_known->name)));
    }
    Statement& statement = *m_imageStatement;
    statement.reset();
    statement.bind(1, QVariant(key));
    UndoJournal::Image image;
    if (statement.step())
        for (std::size_t c = 0; c < m_known->columns.size(); ++c)
            image.push_back(readCell(statement, static_cast<int>(c), m_known->columns[c].kind));
    statement.reset();
    return image;
}

QVariant SqliteBackend::runJournalStatement(const QString& sql, const QList<QVariant>& parameters)
{
    std::unique_ptr<Statement>& kept = m_journalStatements[sql];
    if (!kept)
        kept = std::make_unique<Statement>(m_db.get(), sql);
    Statement& statement = *kept;
    statement.reset();
    for (int i = 0; i < parameters.size(); ++i)
        statement.bind(i + 1, parameters[i]);
    QVariant value;
    if (statement.step() && !statement.isNull(0))
        value = QVariant(statement.integer(0));
    statement.reset();
    return value;
}

bool SqliteBackend::readyJournal()
{
    if (!m_journal)
        return false;
    if (!m_journalReady) {
        Statement::execute(m_db.get(), QString::fromLatin1(UndoJournal::definition));
        m_journalReady = true;
    }
    return true;
}
