#include "support/TempDiary.h"

#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "base/DateSerial.h"
#include "engine/sqlite/SqliteSchema.h"

#include <stdexcept>

namespace {

QVariant stored(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return DateSerial::fromDateTime(value.toDateTime());
    case QMetaType::QDate:
        return DateSerial::fromDate(value.toDate());
    case QMetaType::QTime:
        return DateSerial::fromTime(value.toTime());
    default:
        return value;
    }
}

} // namespace

TempDiary::TempDiary()
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
    SqliteSchema::createEmptyDatabase(databasePath(), JobTable::schema());
}

QString TempDiary::connectionString() const
{
    return JobTable::connectionString(databasePath());
}

QString TempDiary::databasePath() const
{
    return m_dir.filePath(QStringLiteral("db1.mdb"));
}

qint64 TempDiary::addRow(const QVariantMap& values)
{
    Connection connection(DiaryBackend::open(connectionString()), JobTable::schema());
    std::unique_ptr<Snapshot> rows = connection.select(QStringLiteral("select * from job"), {});
    Snapshot::Values columns;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const int column = rows->columnIndex(it.key());
        if (column < 0)
            throw std::runtime_error("no column " + it.key().toStdString());
        columns.emplace_back(column, stored(it.value()));
    }
    const int position = rows->rowCount();
    rows->insertRow(position, columns);
    return rows->value(position, rows->columnIndex(QStringLiteral("id_job"))).toLongLong();
}

QVariant TempDiary::value(qint64 id, const QString& column) const
{
    Connection connection(DiaryBackend::open(connectionString()), JobTable::schema());
    std::unique_ptr<Snapshot> rows = connection.select(QStringLiteral("select * from job where id_job = ?"), {id});
    const int index = rows->columnIndex(column);
    if (rows->rowCount() == 0 || index < 0)
        return QVariant();
    const QVariant& value = rows->value(0, index);
    if (rows->column(index).kind == ColumnKind::DateTime && !value.isNull())
        return DateSerial::toDateTime(value.toDouble());
    return value;
}

int TempDiary::rowCount() const
{
    Connection connection(DiaryBackend::open(connectionString()), JobTable::schema());
    return connection.select(QStringLiteral("select * from job"), {})->rowCount();
}

void TempDiary::setValue(qint64 id, const QString& column, const QVariant& value)
{
    Connection connection(DiaryBackend::open(connectionString()), JobTable::schema());
    std::unique_ptr<Snapshot> rows = connection.select(QStringLiteral("select * from job where id_job = ?"), {id});
    const int index = rows->columnIndex(column);
    if (rows->rowCount() == 0 || index < 0)
        throw std::runtime_error("no such row or column");
    rows->updateRow(0, {{index, stored(value)}});
}
