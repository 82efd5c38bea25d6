#include "engine/Snapshot.h"

#include "engine/Backend.h"
#include "engine/DecodedRows.h"
#include "engine/PackedRows.h"
#include "base/CodePoints.h"
#include "base/DateSerial.h"
#include "engine/EngineErrors.h"

#include <QDateTime>
#include <QUuid>

#include <map>
#include <optional>
#include <set>

namespace {

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

} // namespace

struct Snapshot::Data : Backend::RowSink
{
    std::shared_ptr<Backend> backend;
    Dialect::Translation translation;
    QList<QVariant> parameters;
    std::vector<ColumnInfo> columns;
    // Indexes of the columns read from the table itself; the ones re-read after a write.
    std::vector<int> tableColumns;

    // Cells of every row ever held, by slot; a row's slot never changes, only its position in order.
    PackedRows rows;
    DecodedRows decoded;
    std::vector<qint64> rowIds;
    std::vector<int> order;
    // By slot: the values of writes of the row whose answer never came (the server went away), which the row may
    // hold now. A write the database refused is known not to be stored.
    std::map<int, std::vector<std::map<int, QVariant>>> unconfirmed;
    // The record being inserted, once a try has failed: its token and the values of the tries.
    std::optional<Backend::InsertTries> insert;

    int width() const { return static_cast<int>(columns.size()); }

    void describe(std::vector<ColumnInfo> described, std::vector<int> fromTable) override
    {
        columns = std::move(described);
        tableColumns = std::move(fromTable);
        rows = PackedRows(columns);
    }
    void addRow(qint64 rowIdentity, std::span<const Backend::Cell> cells) override
    {
        order.push_back(rows.add(cells));
        rowIds.push_back(rowIdentity);
    }

    void load();
    int slotAt(int row) const;
    const ColumnInfo& writableColumn(int column) const;
    void requireUpdatable() const;
    Backend::RowWrite write() const { return {translation.table, columns, tableColumns}; }
    void store(int slot, const std::vector<QVariant>& tableValues);
    Backend::RowStates expectedStates(int slot, const std::set<int>& columns) const;
};

void Snapshot::Data::load()
{
    if (parameters.size() < translation.parameterCount)
        throw EngineErrors::missingParameters();
    if (parameters.size() > translation.parameterCount)
        throw EngineErrors::tooManyParameters();
    rows = PackedRows();
    decoded = DecodedRows();
    rowIds.clear();
    order.clear();
    backend->select(translation, parameters, *this);
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

void Snapshot::Data::store(int slot, const std::vector<QVariant>& tableValues)
{
    std::vector<QVariant> values = rows.values(slot);
    for (size_t i = 0; i < tableValues.size(); ++i)
        values[static_cast<size_t>(tableColumns[i])] = tableValues[i];
    rows.replace(slot, values);
    decoded.refresh(rows, slot);
}

// The row of slot as read, over columns, and the same overlaid by each write of it whose answer was lost.
Backend::RowStates Snapshot::Data::expectedStates(int slot, const std::set<int>& columns) const
{
    std::map<int, QVariant> read;
    for (int column : columns)
        read[column] = rows.value(slot, column);
    Backend::RowStates states{read};
    if (const auto tries = unconfirmed.find(slot); tries != unconfirmed.end()) {
        for (const std::map<int, QVariant>& values : tries->second) {
            std::map<int, QVariant> state = read;
            for (const auto& [column, value] : values)
                state[column] = value;
            states.push_back(std::move(state));
        }
    }
    return states;
}

Snapshot::Snapshot(std::unique_ptr<Data> data) : d(std::move(data)) {}

Snapshot::~Snapshot() = default;

std::unique_ptr<Snapshot> Snapshot::create(std::shared_ptr<Backend> backend, const QString& sql,
                                           const QList<QVariant>& parameters)
{
    auto data = std::make_unique<Data>();
    data->translation = backend->translate(sql);
    data->backend = std::move(backend);
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
    return d->decoded.value(d->rows, d->slotAt(row), column);
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
    // since is never overwritten; columns not written are left alone. A try whose answer was lost may have been
    // stored: the row holding it is no change of someone else's.
    std::set<int> columns;
    for (const auto& entry : values)
        columns.insert(entry.first);
    if (const auto tries = d->unconfirmed.find(slot); tries != d->unconfirmed.end())
        for (const std::map<int, QVariant>& earlier : tries->second)
            for (const auto& entry : earlier)
                columns.insert(entry.first);
    std::vector<QVariant> stored;
    try {
        stored = d->backend->updateRow(d->write(), d->rowIds[static_cast<size_t>(slot)], values,
                                       d->expectedStates(slot, columns));
    } catch (const ServerUnreachable&) {
        d->unconfirmed[slot].push_back(values);
        throw;
    }
    d->unconfirmed.erase(slot);
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
    if (!d->insert)
        d->insert = Backend::InsertTries{QUuid::createUuid().toByteArray(QUuid::WithoutBraces), {}};
    std::pair<qint64, std::vector<QVariant>> inserted;
    try {
        inserted = d->backend->insertRow(d->write(), given, *d->insert);
    } catch (const ServerUnreachable&) {
        d->insert->earlier.push_back(given);
        throw;
    }
    d->insert.reset();
    auto& [rowId, stored] = inserted;
    std::vector<QVariant> cells(static_cast<size_t>(d->width()));
    for (size_t i = 0; i < stored.size(); ++i)
        cells[static_cast<size_t>(d->tableColumns[i])] = std::move(stored[i]);
    const int slot = d->rows.add(cells);
    d->rowIds.push_back(rowId);
    d->order.insert(d->order.begin() + position, slot);
}

void Snapshot::deleteRow(int row)
{
    d->requireUpdatable();
    const int slot = d->slotAt(row);
    // Refused, as an update is, when someone else changed or deleted the row since it was read.
    const std::set<int> columns(d->tableColumns.begin(), d->tableColumns.end());
    d->backend->deleteRow(d->write(), d->rowIds[static_cast<size_t>(slot)], d->expectedStates(slot, columns));
    d->unconfirmed.erase(slot);
    d->rows.clear(slot);
    d->decoded.refresh(d->rows, slot);
    d->order.erase(d->order.begin() + row);
}

void Snapshot::beginInsert()
{
    d->insert.reset();
}

void Snapshot::reread()
{
    auto fresh = std::make_unique<Data>();
    fresh->backend = d->backend;
    fresh->translation = d->translation;
    fresh->parameters = d->parameters;
    fresh->load();
    d = std::move(fresh);
}
