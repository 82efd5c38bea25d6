#include "engine/UndoJournal.h"

#include "base/DateSerial.h"
#include "engine/Dialect.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// The last-change time, which every write of the program stamps anew: a post that changed it alone changed
// nothing, and it is no sign of a change by anyone else.
const QString stampColumn = QStringLiteral("date_zap");

// Whether the row holds the same in both images, the last-change time aside.
bool sameContent(const TableSchema& table, UndoJournal::Image a, UndoJournal::Image b)
{
    for (std::size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c].name.compare(stampColumn, Qt::CaseInsensitive) == 0 && c < a.size() && c < b.size())
            a[c] = b[c] = QVariant();
    return UndoJournal::sameImage(a, b);
}

// A name as the program's SQL dialect writes it, where "..." is a text.
QString bracketed(const QString& name)
{
    return u'[' + name + u']';
}

QString keyColumn(const TableSchema& table)
{
    for (const TableSchema::Column& column : table.columns)
        if (column.kind == ColumnKind::AutoIncrement)
            return column.name;
    return table.columns.front().name;
}

QStringList columnNames(const TableSchema& table)
{
    QStringList names;
    for (const TableSchema::Column& column : table.columns)
        names << bracketed(column.name);
    return names;
}

// A value in the form of its column's kind, whatever form the engine read or JSON kept it in.
QVariant normal(ColumnKind kind, const QVariant& value)
{
    if (value.isNull())
        return {};
    switch (kind) {
    case ColumnKind::Boolean:
        return QVariant(value.toBool());
    case ColumnKind::AutoIncrement:
    case ColumnKind::Integer:
        return QVariant(value.toLongLong());
    case ColumnKind::Float:
    case ColumnKind::DateTime:
        return QVariant(value.toDouble());
    case ColumnKind::Text:
    case ColumnKind::Memo:
        break;
    }
    return QVariant(value.toString());
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    switch (a.typeId()) {
    case QMetaType::Double: {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    case QMetaType::Bool:
        return a.toBool() == b.toBool();
    case QMetaType::LongLong:
        return a.toLongLong() == b.toLongLong();
    default:
        return a.toString() == b.toString();
    }
}

QJsonValue imageJson(const UndoJournal::Image& image)
{
    if (image.empty())
        return QJsonValue(QJsonValue::Null);
    QJsonArray values;
    for (const QVariant& value : image) {
        if (value.isNull())
            values.append(QJsonValue(QJsonValue::Null));
        else if (value.typeId() == QMetaType::Bool)
            values.append(value.toBool());
        else if (value.typeId() == QMetaType::LongLong)
            values.append(value.toLongLong());
        else if (value.typeId() == QMetaType::Double)
            values.append(value.toDouble());
        else
            values.append(value.toString());
    }
    return values;
}

UndoJournal::Image imageFromJson(const TableSchema& table, const QJsonValue& json)
{
    UndoJournal::Image image;
    const QJsonArray values = json.toArray();
    if (values.size() != static_cast<qsizetype>(table.columns.size()))
        return image;
    for (qsizetype c = 0; c < values.size(); ++c)
        image.push_back(normal(table.columns[static_cast<std::size_t>(c)].kind, values[c].toVariant()));
    return image;
}

QString stepJson(const std::vector<UndoJournal::Change>& changes)
{
    QJsonArray list;
    for (const UndoJournal::Change& change : changes)
        list.append(QJsonObject{{QStringLiteral("key"), change.key},
                                {QStringLiteral("before"), imageJson(change.before)},
                                {QStringLiteral("after"), imageJson(change.after)}});
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

// A value as a batch takes it: a date-time as its wall-clock digits, which no time zone shifts.
QVariant parameterOf(ColumnKind kind, const QVariant& value)
{
    if (kind != ColumnKind::DateTime || value.isNull())
        return value;
    const double serial = value.toDouble();
    if (!DateSerial::isShowable(serial))
        return {};
    return QVariant(QDateTime(DateSerial::toDate(serial), DateSerial::toTime(serial), Qt::UTC));
}

} // namespace

UndoJournal::UndoJournal(const TableSchema& table) : m_table(table) {}

UndoJournal::Recording::Recording(UndoJournal& journal, QString label) : m_journal(journal)
{
    m_journal.m_recording = true;
    m_journal.m_label = std::move(label);
    m_journal.m_changes.clear();
}

UndoJournal::Recording::~Recording()
{
    m_journal.m_recording = false;
    m_journal.m_changes.clear();
}

void UndoJournal::noteBefore(Backend::Batch& batch, qint64 key)
{
    const auto known = [key](const Change& change) { return change.key == key; };
    if (std::any_of(m_changes.begin(), m_changes.end(), known))
        return;
    m_changes.push_back({key, imageOf(batch, key), {}});
}

void UndoJournal::noteAdded(qint64 key)
{
    m_changes.push_back({key, {}, {}});
}

void UndoJournal::finish(Backend::Batch& batch)
{
    if (m_changes.empty())
        return;
    for (Change& change : m_changes)
        change.after = imageOf(batch, change.key);
    // A post that changed nothing but the time of its change (an edit typed and taken back) is no step.
    if (std::all_of(m_changes.begin(), m_changes.end(),
                    [this](const Change& change) { return sameContent(m_table, change.before, change.after); }))
        return;
    // The statements are written alike in the program's dialect and in both engines' own SQL.
    const auto run = [&](const QString& sql, const QList<QVariant>& parameters) -> QVariant {
        if (m_runner)
            return m_runner(sql, parameters);
        const auto rows = batch.rows(sql, parameters);
        return rows.empty() || rows.front().empty() ? QVariant() : rows.front().front();
    };
    const QString journal = QString::fromLatin1(table);
    // Numbered after the last step not undone, so that the steps kept are numbered without gaps and keptSteps of
    // them stay.
    const qint64 number =
        run(QStringLiteral("SELECT max(step) FROM %1 WHERE undone = 0").arg(journal), {}).toLongLong() + 1;
    if (m_runner) {
        run(QStringLiteral("DELETE FROM %1 WHERE undone <> 0 OR step <= ?").arg(journal), {number - keptSteps});
        run(QStringLiteral("INSERT INTO %1 (step, label, undone, images) VALUES (?, ?, 0, ?)").arg(journal),
            {number, m_label, stepJson(m_changes)});
        return;
    }
    batch.run(QStringLiteral("DELETE FROM %1 WHERE undone <> 0 OR step <= ?").arg(journal), {number - keptSteps});
    batch.run(QStringLiteral("INSERT INTO %1 (step, label, undone, images) VALUES (?, ?, 0, ?)").arg(journal),
              {number, m_label, stepJson(m_changes)});
}

UndoJournal::Image UndoJournal::imageOf(Backend::Batch& batch, qint64 key) const
{
    if (!m_reader)
        return image(batch, m_table, key);
    Image read = m_reader(key);
    for (std::size_t c = 0; c < read.size() && c < m_table.columns.size(); ++c)
        read[c] = normal(m_table.columns[c].kind, read[c]);
    return read;
}

UndoJournal::Image UndoJournal::image(Backend::Batch& batch, const TableSchema& table, qint64 key)
{
    const auto rows = batch.rows(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
            .arg(columnNames(table).join(QStringLiteral(", ")), bracketed(table.name), bracketed(keyColumn(table))),
        {key});
    Image image;
    if (rows.empty())
        return image;
    for (std::size_t c = 0; c < table.columns.size() && c < rows.front().size(); ++c)
        image.push_back(normal(table.columns[c].kind, rows.front()[c]));
    return image;
}

bool UndoJournal::sameImage(const Image& a, const Image& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t c = 0; c < a.size(); ++c)
        if (!sameValue(a[c], b[c]))
            return false;
    return true;
}

std::optional<UndoJournal::Step> UndoJournal::next(Backend::Batch& batch, const TableSchema& table, Direction direction)
{
    const QString journal = QString::fromLatin1(UndoJournal::table);
    const QString pick = direction == Direction::Undo
                             ? QStringLiteral("SELECT max(step) FROM %1 WHERE undone = 0").arg(journal)
                             : QStringLiteral("SELECT min(step) FROM %1 WHERE undone <> 0").arg(journal);
    const auto rows =
        batch.rows(QStringLiteral("SELECT step, label, images FROM %1 WHERE step = (%2)").arg(journal, pick));
    if (rows.empty())
        return std::nullopt;
    Step step;
    step.number = rows.front()[0].toLongLong();
    step.label = rows.front()[1].toString();
    const QJsonArray changes = QJsonDocument::fromJson(rows.front()[2].toString().toUtf8()).array();
    for (const QJsonValue& change : changes) {
        const QJsonObject object = change.toObject();
        step.changes.push_back({object.value(QStringLiteral("key")).toVariant().toLongLong(),
                                imageFromJson(table, object.value(QStringLiteral("before"))),
                                imageFromJson(table, object.value(QStringLiteral("after")))});
    }
    return step;
}

std::optional<qint64> UndoJournal::apply(Backend::Batch& batch, const TableSchema& table, const Step& step,
                                         Direction direction)
{
    const bool undo = direction == Direction::Undo;
    // Every row is checked before any is written: a refused step writes nothing.
    for (const Change& change : step.changes)
        if (!sameContent(table, image(batch, table, change.key), undo ? change.after : change.before))
            return change.key;

    batch.keepChangeTimes();
    const QString name = bracketed(table.name);
    const QString key = bracketed(keyColumn(table));
    const QStringList names = columnNames(table);
    QStringList assignments;
    for (const TableSchema::Column& column : table.columns)
        if (column.kind != ColumnKind::AutoIncrement)
            assignments << bracketed(column.name) + QStringLiteral(" = ?");
    auto writeChange = [&](const Change& change) {
        const Image& from = undo ? change.after : change.before;
        const Image& to = undo ? change.before : change.after;
        if (to.empty()) {
            batch.run(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(name, key), {change.key});
            return;
        }
        QList<QVariant> values;
        for (std::size_t c = 0; c < table.columns.size(); ++c)
            values << parameterOf(table.columns[c].kind, to[c]);
        if (from.empty()) {
            batch.run(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(name, names.join(QStringLiteral(", ")),
                               QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
                      values);
            return;
        }
        QList<QVariant> assigned;
        for (std::size_t c = 0; c < table.columns.size(); ++c)
            if (table.columns[c].kind != ColumnKind::AutoIncrement)
                assigned << values[static_cast<qsizetype>(c)];
        assigned << change.key;
        batch.run(
            QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(name, assignments.join(QStringLiteral(", ")), key),
            assigned);
    };
    if (undo)
        std::for_each(step.changes.rbegin(), step.changes.rend(), writeChange);
    else
        std::for_each(step.changes.begin(), step.changes.end(), writeChange);
    batch.run(QStringLiteral("UPDATE %1 SET undone = ? WHERE step = ?").arg(QString::fromLatin1(UndoJournal::table)),
              {undo ? 1 : 0, step.number});
    return std::nullopt;
}
