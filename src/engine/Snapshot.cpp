#include "engine/Snapshot.h"

#include "engine/CodePoints.h"
#include "engine/DateSerial.h"
#include "engine/Dialect.h"
#include "engine/EngineErrors.h"
#include "engine/Schema.h"
#include "engine/Statement.h"
#include "engine/WriteTransaction.h"

#include <QDateTime>
#include <QStringList>

#include <sqlite3.h>

#include <map>

namespace {

// Rows are kept in fixed blocks, so a large result never needs one huge block nor copies rows as it grows.
constexpr int rowsPerBlock = 1024;

QString quotedName(const QString& name)
{
    return QStringLiteral("\"%1\"").arg(QString(name).replace(u'"', QStringLiteral("\"\"")));
}

EngineError typeMismatch(const ColumnInfo& column, const QVariant& value)
{
    return EngineError(QStringLiteral("Data type mismatch: '%1' can't be stored in the field '%2'.")
                           .arg(value.toString(), column.name));
}

// The value as the column stores it. A null boolean is stored as false, as a yes/no column has no null.
QVariant storable(const ColumnInfo& column, const QVariant& value)
{
    if (column.kind == ColumnKind::Boolean)
        return QVariant(!value.isNull() && value.toBool());
    if (value.isNull())
        return {};
    bool converted = true;
    switch (column.kind) {
    case ColumnKind::AutoIncrement:
    case ColumnKind::Integer: {
        const qint64 number = value.toLongLong(&converted);
        if (!converted)
            throw typeMismatch(column, value);
        return QVariant(number);
    }
    case ColumnKind::DateTime:
        switch (value.metaType().id()) {
        case QMetaType::QDateTime:
            return QVariant(DateSerial::fromDateTime(value.toDateTime()));
        case QMetaType::QDate:
            return QVariant(DateSerial::fromDate(value.toDate()));
        case QMetaType::QTime:
            return QVariant(DateSerial::fromTime(value.toTime()));
        default:
            break;
        }
        [[fallthrough]];
    case ColumnKind::Float: {
        const double number = value.toDouble(&converted);
        if (!converted)
            throw typeMismatch(column, value);
        return QVariant(number);
    }
    case ColumnKind::Text: {
        QString text = value.toString();
        if (CodePoints::count(text) > column.size)
            throw EngineErrors::fieldTooSmall();
        return QVariant(std::move(text));
    }
    case ColumnKind::Memo:
    case ColumnKind::Boolean:
        break;
    }
    return QVariant(value.toString());
}

// How a text cell is read: a whole list is kept as the stored UTF-8 and decoded when a cell is first read, since
// only the rows on the screen are ever read for most lists; a single re-read row is decoded at once.
enum class TextCells { Undecoded, Decoded };

QVariant readCell(const Statement& statement, int column, ColumnKind kind, TextCells texts = TextCells::Decoded)
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
    if (texts == TextCells::Undecoded)
        return QVariant(statement.utf8(column));
    return QVariant(statement.text(column));
}

// A text cell still held as UTF-8 becomes its QString in place.
const QVariant& decoded(QVariant& cell)
{
    if (cell.typeId() == QMetaType::QByteArray) {
        QString text = QString::fromUtf8(cell.toByteArray());
        text.squeeze();
        cell = std::move(text);
    }
    return cell;
}

} // namespace

struct Snapshot::Data
{
    std::shared_ptr<sqlite3> db;
    Dialect::Translation translation;
    QList<QVariant> parameters;
    std::vector<ColumnInfo> columns;
    // Indexes of the columns read from the table itself; the ones re-read after a write.
    std::vector<int> tableColumns;

    // Cells of every row ever held, by slot; a row's slot never changes, only its position in order.
    std::vector<std::unique_ptr<QVariant[]>> blocks;
    std::vector<qint64> rowIds;
    std::vector<int> order;

    int width() const { return static_cast<int>(columns.size()); }
    QVariant* cells(int slot) const
    {
        return blocks[static_cast<size_t>(slot / rowsPerBlock)].get() + (slot % rowsPerBlock) * width();
    }
    int addSlot(qint64 rowId)
    {
        const int slot = static_cast<int>(rowIds.size());
        if (slot % rowsPerBlock == 0)
            blocks.push_back(std::make_unique<QVariant[]>(static_cast<size_t>(rowsPerBlock * width())));
        rowIds.push_back(rowId);
        return slot;
    }

    void describeColumns(const Statement& statement);
    void load();
    int slotAt(int row) const;
    const ColumnInfo& writableColumn(int column) const;
    void requireUpdatable() const;
    std::vector<QVariant> rereadRow(int slot) const;
    void store(int slot, const std::vector<QVariant>& tableValues) const;
};

void Snapshot::Data::describeColumns(const Statement& statement)
{
    sqlite3_stmt* handle = statement.handle();
    const int count = sqlite3_column_count(handle) - (translation.hasRowIdentity ? 1 : 0);
    columns.clear();
    tableColumns.clear();
    for (int i = 0; i < count; ++i) {
        ColumnInfo column;
        column.name = QString::fromUtf8(sqlite3_column_name(handle, i));
        const char* origin = sqlite3_column_origin_name(handle, i);
        const char* table = sqlite3_column_table_name(handle, i);
        const char* declared = nullptr;
        int autoIncrement = 0;
        if (origin && table &&
            sqlite3_table_column_metadata(db.get(), sqlite3_column_database_name(handle, i), table, origin, &declared,
                                          nullptr, nullptr, nullptr, &autoIncrement) == SQLITE_OK) {
            column.baseColumn = QString::fromUtf8(origin);
            column.kind = Schema::kindOf(QString::fromUtf8(declared), autoIncrement != 0, &column.size);
            const bool fromTable = translation.hasRowIdentity &&
                                   QString::fromUtf8(table).compare(translation.table, Qt::CaseInsensitive) == 0;
            column.readOnly = !fromTable || column.kind == ColumnKind::AutoIncrement;
            if (fromTable)
                tableColumns.push_back(i);
        } else {
            column.kind = ColumnKind::Text;
            column.size = Schema::defaultTextSize;
            column.readOnly = true;
        }
        columns.push_back(std::move(column));
    }
}

void Snapshot::Data::load()
{
    if (parameters.size() < translation.parameterCount)
        throw EngineErrors::missingParameters();
    if (parameters.size() > translation.parameterCount)
        throw EngineErrors::tooManyParameters();
    Statement statement(db.get(), translation.sql);
    for (int i = 0; i < translation.parameterCount; ++i)
        statement.bind(i + 1, parameters[i]);
    describeColumns(statement);

    blocks.clear();
    rowIds.clear();
    order.clear();
    std::vector<ColumnKind> kinds;
    for (const ColumnInfo& column : columns)
        kinds.push_back(column.baseColumn.isEmpty() ? ColumnKind::Text : column.kind);
    const int n = width();
    while (statement.step()) {
        const int slot = addSlot(translation.hasRowIdentity ? statement.integer(n) : 0);
        QVariant* row = cells(slot);
        for (int c = 0; c < n; ++c)
            row[c] = readCell(statement, c, kinds[static_cast<size_t>(c)], TextCells::Undecoded);
        order.push_back(slot);
    }
}

int Snapshot::Data::slotAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(order.size()))
        throw EngineError(QStringLiteral("Row %1 is outside the %2 rows of the result.").arg(row).arg(order.size()));
    return order[static_cast<size_t>(row)];
}

const ColumnInfo& Snapshot::Data::writableColumn(int column) const
{
    if (column < 0 || column >= width())
        throw EngineError(
            QStringLiteral("Column %1 is outside the %2 columns of the result.").arg(column).arg(width()));
    const ColumnInfo& info = columns[static_cast<size_t>(column)];
    if (info.readOnly)
        throw EngineErrors::fieldNotUpdatable(info.name);
    return info;
}

void Snapshot::Data::requireUpdatable() const
{
    if (!translation.hasRowIdentity)
        throw EngineErrors::notUpdatable();
}

// What the database stored for the row, for each of tableColumns: defaults, a null boolean turned false, a new key.
std::vector<QVariant> Snapshot::Data::rereadRow(int slot) const
{
    QStringList names;
    for (int c : tableColumns)
        names << quotedName(columns[static_cast<size_t>(c)].baseColumn);
    if (names.isEmpty())
        return {};
    Statement statement(db.get(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                      .arg(names.join(QStringLiteral(", ")), quotedName(translation.table)));
    statement.bind(1, QVariant(rowIds[static_cast<size_t>(slot)]));
    if (!statement.step())
        throw EngineErrors::rowNotLocated();
    std::vector<QVariant> values;
    for (size_t i = 0; i < tableColumns.size(); ++i)
        values.push_back(readCell(statement, static_cast<int>(i), columns[static_cast<size_t>(tableColumns[i])].kind));
    return values;
}

void Snapshot::Data::store(int slot, const std::vector<QVariant>& tableValues) const
{
    QVariant* row = cells(slot);
    for (size_t i = 0; i < tableValues.size(); ++i)
        row[tableColumns[i]] = tableValues[i];
}

Snapshot::Snapshot(std::unique_ptr<Data> data) : d(std::move(data)) {}

Snapshot::~Snapshot() = default;

std::unique_ptr<Snapshot> Snapshot::create(std::shared_ptr<sqlite3> db, const QString& sql,
                                           const QList<QVariant>& parameters)
{
    auto data = std::make_unique<Data>();
    data->db = std::move(db);
    data->translation = Dialect::translate(sql);
    data->parameters = parameters;
    data->load();
    return std::unique_ptr<Snapshot>(new Snapshot(std::move(data)));
}

int Snapshot::rowCount() const
{
    return static_cast<int>(d->order.size());
}

int Snapshot::columnCount() const
{
    return d->width();
}

const ColumnInfo& Snapshot::column(int column) const
{
    return d->columns.at(static_cast<size_t>(column));
}

int Snapshot::columnIndex(const QString& name) const
{
    for (int c = 0; c < d->width(); ++c) {
        if (d->columns[static_cast<size_t>(c)].name.compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

const QVariant& Snapshot::value(int row, int column) const
{
    if (column < 0 || column >= d->width())
        throw EngineError(
            QStringLiteral("Column %1 is outside the %2 columns of the result.").arg(column).arg(d->width()));
    return decoded(d->cells(d->slotAt(row))[column]);
}

qint64 Snapshot::rowId(int row) const
{
    return d->rowIds[static_cast<size_t>(d->slotAt(row))];
}

int Snapshot::findRow(qint64 rowId) const
{
    if (!d->translation.hasRowIdentity)
        return -1;
    for (size_t row = 0; row < d->order.size(); ++row) {
        if (d->rowIds[static_cast<size_t>(d->order[row])] == rowId)
            return static_cast<int>(row);
    }
    return -1;
}

bool Snapshot::isUpdatable() const
{
    return d->translation.hasRowIdentity;
}

void Snapshot::updateRow(int row, const Values& changes)
{
    d->requireUpdatable();
    const int slot = d->slotAt(row);
    std::map<int, QVariant> values; // by column; a column named twice takes its last value
    for (const auto& [column, value] : changes)
        values[column] = storable(d->writableColumn(column), value);
    if (values.empty())
        return;

    // The row must still hold what this snapshot read in every column written, so a change someone else made
    // since is never overwritten; columns not written are left alone.
    QStringList assignments;
    QStringList unchanged;
    for (const auto& entry : values) {
        const QString name = quotedName(d->columns[static_cast<size_t>(entry.first)].baseColumn);
        assignments << name + QStringLiteral(" = ?");
        unchanged << name + QStringLiteral(" IS ?");
    }
    Statement statement(d->db.get(), QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ? AND %3")
                                         .arg(quotedName(d->translation.table), assignments.join(QStringLiteral(", ")),
                                              unchanged.join(QStringLiteral(" AND "))));
    int index = 1;
    for (const auto& entry : values)
        statement.bind(index++, entry.second);
    statement.bind(index++, QVariant(d->rowIds[static_cast<size_t>(slot)]));
    QVariant* original = d->cells(slot);
    for (const auto& entry : values)
        statement.bind(index++, decoded(original[entry.first]));

    WriteTransaction transaction(d->db.get());
    statement.run();
    if (sqlite3_changes(d->db.get()) == 0)
        throw EngineErrors::rowNotLocated();
    const std::vector<QVariant> stored = d->rereadRow(slot);
    transaction.commit();
    d->store(slot, stored);
}

void Snapshot::insertRow(int position, const Values& values)
{
    d->requireUpdatable();
    if (position < 0 || position > rowCount())
        throw EngineError(QStringLiteral("Row %1 is outside the %2 rows of the result.").arg(position).arg(rowCount()));
    std::map<int, QVariant> given;
    for (const auto& [column, value] : values) {
        // The key and computed columns of a new row are the database's to give.
        if (value.isNull() && column >= 0 && column < d->width() && d->columns[static_cast<size_t>(column)].readOnly)
            continue;
        given[column] = storable(d->writableColumn(column), value);
    }
    QStringList names;
    QStringList markers;
    for (const auto& entry : given) {
        names << quotedName(d->columns[static_cast<size_t>(entry.first)].baseColumn);
        markers << QStringLiteral("?");
    }
    const QString table = quotedName(d->translation.table);
    Statement statement(d->db.get(), names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                                     : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                           .arg(table, names.join(QStringLiteral(", ")),
                                                                markers.join(QStringLiteral(", "))));
    int index = 1;
    for (const auto& entry : given)
        statement.bind(index++, entry.second);

    WriteTransaction transaction(d->db.get());
    statement.run();
    const int slot = d->addSlot(sqlite3_last_insert_rowid(d->db.get()));
    // Should the write fail from here on, the slot just stays empty: the row never joins the snapshot.
    const std::vector<QVariant> stored = d->rereadRow(slot);
    transaction.commit();
    d->store(slot, stored);
    d->order.insert(d->order.begin() + position, slot);
}

void Snapshot::deleteRow(int row)
{
    d->requireUpdatable();
    const int slot = d->slotAt(row);
    Statement statement(d->db.get(),
                        QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quotedName(d->translation.table)));
    statement.bind(1, QVariant(d->rowIds[static_cast<size_t>(slot)]));
    WriteTransaction transaction(d->db.get());
    statement.run();
    if (sqlite3_changes(d->db.get()) == 0)
        throw EngineErrors::rowNotLocated();
    transaction.commit();
    QVariant* cells = d->cells(slot);
    std::fill(cells, cells + d->width(), QVariant());
    d->order.erase(d->order.begin() + row);
}

void Snapshot::reread()
{
    auto fresh = std::make_unique<Data>();
    fresh->db = d->db;
    fresh->translation = d->translation;
    fresh->parameters = d->parameters;
    fresh->load();
    d = std::move(fresh);
}
