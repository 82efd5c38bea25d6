#include "engine/postgres/PostgresBackend.h"

#include "base/Clock.h"
#include "base/CodePoints.h"
#include "base/DateSerial.h"
#include "engine/EngineErrors.h"
#include "engine/PackedRows.h"
#include "engine/UndoJournal.h"
#include "engine/postgres/ServerChecks.h"
#include "engine/postgres/ServerSearch.h"
#include "engine/postgres/ServerSession.h"

#include <QStringList>

#include <charconv>
#include <cmath>
#include <limits>

namespace {

using Parameters = ServerSession::Parameters;

// A date-time as a timestamp to the millisecond; nothing for a serial outside the dates the program shows.
std::optional<QByteArray> timestampText(double serial)
{
    if (!DateSerial::isShowable(serial))
        return std::nullopt;
    const QDate date = DateSerial::toDate(serial);
    const QTime time = DateSerial::toTime(serial);
    char text[32];
    const int size = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", date.year(), date.month(),
                                   date.day(), time.hour(), time.minute(), time.second(), time.msec());
    return QByteArray(text, size);
}

// The digits of [*at, end), at least one and at most limit of them, as a number; -1 when there are none.
int digits(const char** at, const char* end, int limit)
{
    int number = 0;
    int count = 0;
    for (; *at != end && count < limit && **at >= '0' && **at <= '9'; ++*at, ++count)
        number = number * 10 + (**at - '0');
    return count > 0 ? number : -1;
}

// A timestamp or date as the server writes it in the ISO style, "2026-12-07 16:21:46.5" or "2026-12-07", as a
// serial. Read by hand, as a list reads it for every date cell. NaN for what the program can't show (years before
// Christ, infinity).
double serialOfTimestamp(const char* text, int length)
{
    constexpr double invalid = std::numeric_limits<double>::quiet_NaN();
    const char* at = text;
    const char* end = text + length;
    const auto expect = [&at, end](char c) {
        if (at == end || *at != c)
            return false;
        ++at;
        return true;
    };
    const int year = digits(&at, end, 6);
    const int month = expect('-') ? digits(&at, end, 2) : -1;
    const int day = expect('-') ? digits(&at, end, 2) : -1;
    // QDate and the server both carry the Gregorian calendar back past its introduction; -1 is no year read.
    QDate date(year, month, day);
    if (year < 1 || !date.isValid())
        return invalid;
    int msecs = 0;
    if (expect(' ')) {
        const int hour = digits(&at, end, 2);
        const int minute = expect(':') ? digits(&at, end, 2) : -1;
        const int second = expect(':') ? digits(&at, end, 2) : -1;
        if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
            return invalid;
        msecs = ((hour * 60 + minute) * 60 + second) * 1000;
        if (expect('.')) {
            // Milliseconds; a column of finer precision is rounded to them.
            int fraction = 0;
            int scale = 100;
            const char* first = at;
            for (; at != end && *at >= '0' && *at <= '9'; ++at, scale /= 10) {
                if (scale > 0)
                    fraction += (*at - '0') * scale;
                else if (scale == 0 && *at >= '5')
                    ++fraction;
            }
            if (at == first)
                return invalid;
            msecs += fraction;
        }
    }
    if (at != end)
        return invalid;
    // A time rounded up to midnight starts the next day.
    if (msecs == DateSerial::msecsPerDay) {
        msecs = 0;
        date = date.addDays(1);
    }
    return DateSerial::fromDateAndTime(date, QTime::fromMSecsSinceStartOfDay(msecs));
}

qint64 integerOf(const char* text, int length)
{
    qint64 number = 0;
    std::from_chars(text, text + length, number);
    return number;
}

double numberOf(const char* text, int length)
{
    double number = 0;
    std::from_chars(text, text + length, number);
    return number;
}

QByteArray utf8Text(const QString& text)
{
    // Half of a surrogate pair has no UTF-8 form, and the server keeps no U+0000 in a text.
    if (!CodePoints::isWellFormed(text))
        throw EngineErrors::invalidText();
    if (text.contains(QChar(u'\0')))
        throw EngineError(QStringLiteral("The text holds the character U+0000, which the server cannot store."));
    return text.toUtf8();
}

QByteArray numberText(double number)
{
    if (std::isnan(number))
        return QByteArrayLiteral("NaN");
    if (std::isinf(number))
        return number > 0 ? QByteArrayLiteral("Infinity") : QByteArrayLiteral("-Infinity");
    return QByteArray::number(number, 'g', 17);
}

// A parameter of a select as the server reads it in the place it stands.
std::optional<QByteArray> parameterText(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool() ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return QByteArray::number(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return numberText(value.toDouble());
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate).toLatin1();
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
    default:
        return utf8Text(value.toString());
    }
}

// A value of a table column, in the engine's form for its kind, as the column stores it.
std::optional<QByteArray> columnText(const ColumnInfo& column, const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    switch (column.kind) {
    case ColumnKind::Boolean:
        return value.toBool() ? QByteArrayLiteral("t") : QByteArrayLiteral("f");
    case ColumnKind::AutoIncrement:
    case ColumnKind::Integer:
        return QByteArray::number(value.toLongLong());
    case ColumnKind::Float:
        return numberText(value.toDouble());
    case ColumnKind::DateTime:
        if (const std::optional<QByteArray> text = timestampText(value.toDouble()))
            return text;
        throw EngineError(QStringLiteral("Data type mismatch: '%1' can't be stored in the field '%2'.")
                              .arg(value.toString(), column.name));
    case ColumnKind::Text:
    case ColumnKind::Memo:
        break;
    }
    return utf8Text(value.toString());
}

QVariant readCell(const ServerResult& result, int row, int column, ColumnKind kind)
{
    if (result.isNull(row, column))
        return {};
    const char* text = result.text(row, column);
    const int length = result.length(row, column);
    switch (kind) {
    case ColumnKind::Boolean:
        return QVariant(text[0] == 't');
    case ColumnKind::AutoIncrement:
    case ColumnKind::Integer:
        return QVariant(integerOf(text, length));
    case ColumnKind::Float:
        return QVariant(numberOf(text, length));
    case ColumnKind::DateTime:
        return QVariant(serialOfTimestamp(text, length));
    case ColumnKind::Text:
    case ColumnKind::Memo:
        break;
    }
    QString decoded = QString::fromUtf8(text, length);
    decoded.squeeze();
    return QVariant(std::move(decoded));
}

// The same cell as a select hands it over, its text left in the result's UTF-8.
void readCell(const ServerResult& result, int row, int column, ColumnKind kind, Backend::Cell& cell)
{
    cell.isNull = result.isNull(row, column);
    if (cell.isNull)
        return;
    const char* text = result.text(row, column);
    const int length = result.length(row, column);
    switch (kind) {
    case ColumnKind::Boolean:
        cell.integer = text[0] == 't' ? 1 : 0;
        break;
    case ColumnKind::AutoIncrement:
    case ColumnKind::Integer:
        cell.integer = integerOf(text, length);
        break;
    case ColumnKind::Float:
        cell.real = numberOf(text, length);
        break;
    case ColumnKind::DateTime:
        cell.real = serialOfTimestamp(text, length);
        break;
    case ColumnKind::Text:
    case ColumnKind::Memo:
        cell.text = QByteArrayView(text, length);
        break;
    }
}

// The server refused a statement because this user may not write: a role without the rights, or a server that
// only reads (a standby, a read-only default).
bool forbidsWriting(const StatementRefused& error)
{
    return error.state() == "42501" || error.state() == "25006";
}

void rollBack(ServerSession& session)
{
    try {
        session.run("ROLLBACK");
    } catch (const EngineError&) {
        // A broken connection has ended the transaction on the server already.
    }
}

// Runs make in a transaction of its own that first takes the advisory lock of that key, so that programs doing it at
// once do it one after the other. False when this user may not write the database, and nothing was made.
template <class Make> bool inLockedTransaction(ServerSession& session, const char* key, const Make& make)
{
    session.run("BEGIN");
    try {
        session.run(QByteArray("SELECT pg_advisory_xact_lock(") + key + ')');
        make();
        session.run("COMMIT");
        return true;
    } catch (const StatementRefused& error) {
        rollBack(session);
        if (!forbidsWriting(error))
            throw;
        return false;
    } catch (...) {
        rollBack(session);
        throw;
    }
}

} // namespace

QString PostgresBackend::createStatements(const TableSchema& table)
{
    const QString collation = Dialect::textCollation;
    // Texts compare as on the file: without regard to case for every letter Unicode knows (ICU's secondary
    // strength), not by their bytes.
    QString statements = QStringLiteral("CREATE COLLATION IF NOT EXISTS %1 (provider = icu, locale = "
                                        "'und-u-ks-level2', deterministic = false);\n")
                             .arg(collation);
    QStringList columns;
    for (const TableSchema::Column& column : table.columns)
        columns << QStringLiteral("    %1 %2").arg(Dialect::quotedName(column.name), ServerChecks::columnType(column));
    statements += QStringLiteral("CREATE TABLE %1 (\n%2\n);\n")
                      .arg(Dialect::quotedName(table.name), columns.join(QStringLiteral(",\n")));
    for (const QStringList& index : table.indexes) {
        QStringList parts;
        for (const QString& name : index) {
            const auto column = std::find_if(table.columns.begin(), table.columns.end(),
                                             [&name](const TableSchema::Column& c) { return c.name == name; });
            const bool text = column != table.columns.end() && column->kind == ColumnKind::Text;
            // The lists pick their rows by a text compared with the collation; the index must use it too.
            parts << Dialect::quotedName(name) + (text ? QStringLiteral(" COLLATE ") + collation : QString());
        }
        statements += QStringLiteral("CREATE INDEX %1 ON %2 (%3);\n")
                          .arg(Dialect::quotedName(table.name + u'_' + index.front()), Dialect::quotedName(table.name),
                               parts.join(QStringLiteral(", ")));
    }
    return statements + QString::fromLatin1(ServerChecks::insertTokenDefinition) + QStringLiteral(";\n");
}

PostgresBackend::PostgresBackend(const QString& connectionInfo, const TableSchema& table)
    : m_session(std::make_unique<ServerSession>(connectionInfo)), m_schema(table),
      m_journal(std::make_unique<UndoJournal>(table))
{
    m_table = ServerChecks::inspect(*m_session, m_schema);
    // A diary made before the tokens gets their table from the first user who may add rows; without it inserts
    // are written as they were, once a try.
    if (m_table.tokens == ServerChecks::FoundTable::Tokens::Missing && m_table.mayInsert)
        makeInsertTokenTable();
}

void PostgresBackend::makeInsertTokenTable()
{
    // The same lock as the properties' table: two programs opening an older diary at once make it once.
    if (inLockedTransaction(*m_session, "7236481537249785856",
                            [this] { m_session->run(ServerChecks::insertTokenDefinition); }))
        m_table.tokens = ServerChecks::FoundTable::Tokens::Usable;
}

ServerResult PostgresBackend::run(const QByteArray& sql, const Parameters& parameters, ServerSession::Retry retry)
{
    try {
        return m_session->run(sql, parameters, retry);
    } catch (const StatementRefused& error) {
        // A table, column, collation or right taken away while the program runs is told as such, not by the
        // statement that met it; within a batch's transaction, which the refusal ended, the server's reason stands.
        if (!ServerChecks::mayBeSetUpFault(error.state()) || m_inBatch)
            throw;
        m_table = ServerChecks::inspect(*m_session, m_schema);
        throw;
    }
}

PostgresBackend::~PostgresBackend() = default;

Dialect::Translation PostgresBackend::translate(const QString& text) const
{
    return Dialect::translateForServer(text, m_schema);
}

namespace {

// The values of a translated statement's $n: its parameters, and the clock read once, so every now() of one
// statement is the same moment.
Parameters serverValues(const Dialect::Translation& translation, const QList<QVariant>& parameters)
{
    const QDateTime now = Clock::now();
    Parameters values;
    for (const int source : translation.serverParameters) {
        if (source == Dialect::clockNow)
            values.push_back(timestampText(DateSerial::fromDateTime(now)));
        else if (source == Dialect::clockToday)
            values.push_back(timestampText(DateSerial::fromDate(now.date())));
        else
            values.push_back(parameterText(parameters[source]));
    }
    return values;
}

} // namespace

void PostgresBackend::select(const Dialect::Translation& translation, const QList<QVariant>& parameters, RowSink& sink)
{
    selectWith(translation, parameters, sink, ServerSession::Retry::OnceIfBroken);
}

std::vector<qint64> PostgresBackend::selectKeys(const Dialect::Translation& translation,
                                                const QList<QVariant>& parameters)
{
    const ServerResult result =
        run(translation.keysSql.toUtf8(), serverValues(translation, parameters), ServerSession::Retry::OnceIfBroken);
    std::vector<qint64> keys;
    const int rows = result.rowCount();
    keys.reserve(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
        keys.push_back(integerOf(result.text(r, 0), result.length(r, 0)));
    return keys;
}

void PostgresBackend::selectRows(const Dialect::Translation& translation, std::span<const qint64> keys, RowSink& sink)
{
    // The keys go as one array parameter, so the statement is the same text whatever their number.
    QString list = QStringLiteral("{");
    for (const qint64 key : keys) {
        if (list.size() > 1)
            list += u',';
        list += QString::number(key);
    }
    list += u'}';
    Dialect::Translation rows = translation;
    rows.sql = translation.rowsSql + QStringLiteral(" = ANY ($1::bigint[])");
    rows.serverParameters = {0};
    selectWith(rows, {list}, sink, ServerSession::Retry::OnceIfBroken);
}

void PostgresBackend::selectWith(const Dialect::Translation& translation, const QList<QVariant>& parameters,
                                 RowSink& sink, ServerSession::Retry retry)
{
    const ServerResult result = run(translation.sql.toUtf8(), serverValues(translation, parameters), retry);

    const int count = result.columnCount() - (translation.hasRowIdentity ? 1 : 0);
    std::vector<ColumnInfo> columns;
    std::vector<int> tableColumns;
    std::vector<ColumnKind> kinds;
    for (int i = 0; i < count; ++i) {
        ColumnInfo column;
        column.name = result.columnName(i);
        const auto found = m_table.schemaColumns.find(result.tableColumnOf(i));
        if (result.tableOf(i) == m_table.oid && found != m_table.schemaColumns.end()) {
            const TableSchema::Column& base = m_schema.columns[found->second];
            column.baseColumn = base.name;
            column.kind = base.kind;
            column.size = base.size;
            column.readOnly = !translation.hasRowIdentity || base.kind == ColumnKind::AutoIncrement;
            if (translation.hasRowIdentity)
                tableColumns.push_back(i);
            // A column made to keep its time zone since the diary was opened would read every date as invalid.
            constexpr unsigned timestampWithTimeZone = 1184;
            if (base.kind == ColumnKind::DateTime && result.typeOf(i) == timestampWithTimeZone)
                m_table = ServerChecks::inspect(*m_session, m_schema);
        } else {
            column.kind = ColumnKind::Text;
            column.size = defaultTextSize;
            column.readOnly = true;
        }
        kinds.push_back(column.baseColumn.isEmpty() ? ColumnKind::Text : column.kind);
        columns.push_back(std::move(column));
    }
    sink.describe(std::move(columns), std::move(tableColumns));

    const int rows = result.rowCount();
    std::vector<Cell> cells(kinds.size());
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < count; ++c)
            readCell(result, r, c, kinds[static_cast<size_t>(c)], cells[static_cast<size_t>(c)]);
        sink.addRow(translation.hasRowIdentity ? integerOf(result.text(r, count), result.length(r, count)) : 0, cells);
    }
}

namespace {

QString returning(const Backend::RowWrite& write)
{
    QStringList names;
    for (int c : write.tableColumns)
        names << Dialect::quotedName(write.columns[static_cast<size_t>(c)].baseColumn);
    return names.isEmpty() ? QStringLiteral("1") : names.join(QStringLiteral(", "));
}

std::vector<QVariant> storedValues(const ServerResult& result, const Backend::RowWrite& write, int first)
{
    std::vector<QVariant> values;
    for (size_t i = 0; i < write.tableColumns.size(); ++i)
        values.push_back(readCell(result, 0, first + static_cast<int>(i),
                                  write.columns[static_cast<size_t>(write.tableColumns[i])].kind));
    return values;
}

} // namespace

namespace {

// The condition that the row holds one of the states, their values added to parameters. Texts are compared by
// their characters, so that a change of case alone is a change too. A date the program can't show was read as
// NaN: any date but none stands for it.
QString heldState(const Backend::RowWrite& write, const Backend::RowStates& states, Parameters& parameters)
{
    QStringList alternatives;
    for (const std::map<int, QVariant>& state : states) {
        QStringList columns;
        for (const auto& [column, value] : state) {
            const ColumnInfo& info = write.columns[static_cast<size_t>(column)];
            QString name = Dialect::quotedName(info.baseColumn);
            if (info.kind == ColumnKind::DateTime && !value.isNull() && std::isnan(value.toDouble())) {
                columns << name + QStringLiteral(" IS NOT NULL");
                continue;
            }
            if (info.kind == ColumnKind::Text || info.kind == ColumnKind::Memo)
                name += QStringLiteral(" COLLATE \"C\"");
            parameters.push_back(columnText(info, value));
            columns << QStringLiteral("%1 IS NOT DISTINCT FROM $%2").arg(name).arg(parameters.size());
        }
        alternatives << (columns.isEmpty() ? QStringLiteral("TRUE")
                                           : u'(' + columns.join(QStringLiteral(" AND ")) + u')');
    }
    return alternatives.isEmpty() ? QStringLiteral("TRUE") : u'(' + alternatives.join(QStringLiteral(" OR ")) + u')';
}

} // namespace

// One statement is one transaction; it both checks that the row holds what is expected and reads what was stored.
ServerResult PostgresBackend::updateHeld(const RowWrite& write, qint64 rowIdentity,
                                         const std::map<int, QVariant>& values, const RowStates& expected,
                                         const QString& firstColumns)
{
    Parameters parameters;
    QStringList assignments;
    for (const auto& [column, value] : values) {
        const ColumnInfo& info = write.columns[static_cast<size_t>(column)];
        parameters.push_back(columnText(info, value));
        assignments << QStringLiteral("%1 = $%2").arg(Dialect::quotedName(info.baseColumn)).arg(parameters.size());
    }
    const QString key = Dialect::quotedName(m_table.key);
    if (assignments.isEmpty())
        assignments << QStringLiteral("%1 = %1").arg(key);
    parameters.push_back(QByteArray::number(rowIdentity));
    const QString keyMarker = QStringLiteral("$%1").arg(parameters.size());
    const QString held = heldState(write, expected, parameters);
    ServerResult result = run(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = %4 AND %5 RETURNING %6%7")
                                  .arg(Dialect::quotedName(write.table), assignments.join(QStringLiteral(", ")), key,
                                       keyMarker, held, firstColumns, returning(write))
                                  .toUtf8(),
                              parameters);
    if (result.rowCount() == 0)
        throw EngineErrors::rowNotLocated();
    return result;
}

std::vector<QVariant> PostgresBackend::updateRow(const RowWrite& write, qint64 rowIdentity,
                                                 const std::map<int, QVariant>& values, const RowStates& expected)
{
    std::vector<QVariant> stored;
    recorded(write.table, rowIdentity, [&] {
        stored = storedValues(updateHeld(write, rowIdentity, values, expected, {}), write, 0);
        return rowIdentity;
    });
    return stored;
}

std::pair<qint64, std::vector<QVariant>>
PostgresBackend::insertRow(const RowWrite& write, const std::map<int, QVariant>& values, const InsertTries& tries)
{
    std::pair<qint64, std::vector<QVariant>> inserted;
    // A try after one whose answer was lost records no step: the lost one, when it was stored, was stored with its
    // step.
    recorded(tries.earlier.empty() ? write.table : QString(), std::nullopt, [&] {
        inserted = insertOnce(write, values, tries);
        return inserted.first;
    });
    return inserted;
}

std::pair<qint64, std::vector<QVariant>>
PostgresBackend::insertOnce(const RowWrite& write, const std::map<int, QVariant>& values, const InsertTries& tries)
{
    Parameters parameters;
    QStringList names;
    QStringList markers;
    for (const auto& [column, value] : values) {
        const ColumnInfo& info = write.columns[static_cast<size_t>(column)];
        parameters.push_back(columnText(info, value));
        names << Dialect::quotedName(info.baseColumn);
        markers << QStringLiteral("$%1").arg(parameters.size());
    }
    const QString table = Dialect::quotedName(write.table);
    const QString key = Dialect::quotedName(m_table.key);
    const QString into = names.isEmpty()
                             ? QStringLiteral("%1 DEFAULT VALUES").arg(table)
                             : QStringLiteral("%1 (%2) VALUES (%3)")
                                   .arg(table, names.join(QStringLiteral(", ")), markers.join(QStringLiteral(", ")));
    if (m_table.tokens != ServerChecks::FoundTable::Tokens::Usable) {
        const ServerResult result = run(
            QStringLiteral("INSERT INTO %1 RETURNING %2, %3").arg(into, key, returning(write)).toUtf8(), parameters);
        return {integerOf(result.text(0, 0), result.length(0, 0)), storedValues(result, write, 1)};
    }

    // The row and its token go in together, and tokens old enough that no try can still be pending go out. A
    // second try of the record finds the token taken, waiting first for a try still under way to end.
    parameters.push_back(tries.token);
    const QString sql = QStringLiteral("WITH inserted AS (INSERT INTO %1 RETURNING %2 AS row_key_, %3), "
                                       "noted AS (INSERT INTO %4 (token, row_key) SELECT $%5::uuid, row_key_ "
                                       "FROM inserted), "
                                       "expired AS (DELETE FROM %4 WHERE made < now() - interval '30 days') "
                                       "SELECT * FROM inserted")
                            .arg(into, key, returning(write), QString::fromLatin1(ServerChecks::insertTokenTable))
                            .arg(parameters.size());
    try {
        const ServerResult result = run(sql.toUtf8(), parameters);
        return {integerOf(result.text(0, 0), result.length(0, 0)), storedValues(result, write, 1)};
    } catch (const StatementRefused& error) {
        constexpr char uniqueViolation[] = "23505";
        if (error.state() != uniqueViolation || tries.earlier.empty())
            throw;
        const ServerResult stored = run(QStringLiteral("SELECT row_key FROM %1 WHERE token = $1::uuid")
                                            .arg(QString::fromLatin1(ServerChecks::insertTokenTable))
                                            .toUtf8(),
                                        {tries.token});
        if (stored.rowCount() == 0)
            throw;
        // An earlier try was stored, its answer lost: this one's values go into that row, which must still hold
        // what a try put there.
        const qint64 rowIdentity = integerOf(stored.text(0, 0), stored.length(0, 0));
        const ServerResult result =
            updateHeld(write, rowIdentity, values, tries.earlier, QStringLiteral("%1, ").arg(key));
        return {rowIdentity, storedValues(result, write, 1)};
    }
}

void PostgresBackend::deleteRow(const RowWrite& write, qint64 rowIdentity, const RowStates& expected)
{
    Parameters parameters{QByteArray::number(rowIdentity)};
    const QString held = heldState(write, expected, parameters);
    recorded(write.table, rowIdentity, [&] {
        const ServerResult result =
            run(QStringLiteral("DELETE FROM %1 WHERE %2 = $1 AND %3")
                    .arg(Dialect::quotedName(write.table), Dialect::quotedName(m_table.key), held)
                    .toUtf8(),
                parameters);
        if (result.affectedRows() == 0)
            throw EngineErrors::rowNotLocated();
        return rowIdentity;
    });
}

std::vector<std::vector<QVariant>> PostgresBackend::tableRows(const TableSchema& table)
{
    QStringList names;
    for (const TableSchema::Column& column : table.columns)
        names << Dialect::quotedName(column.name);
    const ServerResult result = run(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
            .arg(names.join(QStringLiteral(", ")), Dialect::quotedName(table.name), Dialect::quotedName(m_table.key))
            .toUtf8(),
        {}, ServerSession::Retry::OnceIfBroken);
    std::vector<std::vector<QVariant>> rows;
    for (int r = 0; r < result.rowCount(); ++r) {
        std::vector<QVariant> row;
        for (size_t c = 0; c < table.columns.size(); ++c)
            row.push_back(readCell(result, r, static_cast<int>(c), table.columns[c].kind));
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

void unlockCopies(ServerSession& session)
{
    try {
        session.run("SELECT pg_advisory_unlock(7236481537249785857)");
    } catch (const EngineError&) {
        // A broken connection has let go of its locks already.
    }
}

} // namespace

void PostgresBackend::appendTableRows(const TableSchema& table, const std::vector<std::vector<QVariant>>& rows)
{
    const QString name = Dialect::quotedName(table.name);
    QStringList names;
    std::vector<ColumnInfo> columns;
    for (const TableSchema::Column& column : table.columns) {
        names << Dialect::quotedName(column.name);
        ColumnInfo info;
        info.name = column.name;
        info.kind = column.kind;
        columns.push_back(info);
    }
    // Rows go in batches, each one statement of many rows, all made before the server is asked anything.
    constexpr size_t rowsPerBatch = 500;
    std::vector<std::pair<QByteArray, Parameters>> batches;
    qint64 largestKey = 0;
    const auto key = std::find_if(table.columns.begin(), table.columns.end(),
                                  [this](const TableSchema::Column& c) { return c.name == m_table.key; });
    for (size_t first = 0; first < rows.size(); first += rowsPerBatch) {
        const size_t last = std::min(rows.size(), first + rowsPerBatch);
        Parameters parameters;
        QStringList tuples;
        for (size_t r = first; r < last; ++r) {
            QStringList markers;
            for (size_t c = 0; c < columns.size(); ++c) {
                parameters.push_back(c < rows[r].size() ? columnText(columns[c], rows[r][c]) : std::nullopt);
                markers << QStringLiteral("$%1").arg(parameters.size());
            }
            tuples << u'(' + markers.join(QStringLiteral(", ")) + u')';
            const auto keyColumn = static_cast<size_t>(key - table.columns.begin());
            if (key != table.columns.end() && keyColumn < rows[r].size())
                largestKey = std::max(largestKey, rows[r][keyColumn].toLongLong());
        }
        batches.emplace_back(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                                 .arg(name, names.join(QStringLiteral(", ")), tuples.join(QStringLiteral(", ")))
                                 .toUtf8(),
                             std::move(parameters));
    }
    const Parameters sequence = {name.toUtf8(), m_table.key.toUtf8()};

    // Copies wait for each other here, so that a second finds the first one's rows; the key is a number of our own
    // among the database's advisory locks, held by the session until it lets go or ends.
    m_session->run("SELECT pg_advisory_lock(7236481537249785857)");
    try {
        // The table is locked against writers only while the check runs: new rows from other machines then take
        // keys after the ones copied, so they can be written during the copy and meet none of its keys. A writer
        // that holds the table makes the copy give up soon rather than wait behind it.
        m_session->run("BEGIN");
        try {
            m_session->run("SET LOCAL lock_timeout = '5s'");
            m_session->run(QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(name).toUtf8());
            if (m_session->run(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(name).toUtf8()).rowCount() > 0)
                throw EngineErrors::notEmpty();
            m_session->run("SELECT setval(pg_get_serial_sequence($1, $2), greatest(nextval(pg_get_serial_sequence("
                           "$1, $2)), $3 + 1), false)",
                           {sequence[0], sequence[1], QByteArray::number(largestKey)});
            m_session->run("COMMIT");
        } catch (...) {
            rollBack(*m_session);
            throw;
        }
        m_session->run("BEGIN");
        try {
            for (const auto& [statement, parameters] : batches)
                m_session->run(statement, parameters);
            // New rows take keys after every one there.
            m_session->run(QStringLiteral("SELECT setval(pg_get_serial_sequence($1, $2), "
                                          "greatest(nextval(pg_get_serial_sequence($1, $2)), "
                                          "coalesce((SELECT max(%1) FROM %2), 0) + 1), false)")
                               .arg(Dialect::quotedName(m_table.key), name)
                               .toUtf8(),
                           sequence);
            m_session->run("COMMIT");
        } catch (...) {
            rollBack(*m_session);
            throw;
        }
    } catch (...) {
        unlockCopies(*m_session);
        throw;
    }
    unlockCopies(*m_session);
}

namespace {

// Lets the next program take the lock of the session's, which a broken connection has let go already.
void unlockAdvisory(ServerSession& session, const char* key)
{
    try {
        session.run(QByteArray("SELECT pg_advisory_unlock(") + key + ')');
    } catch (const EngineError&) {
    }
}

} // namespace

std::optional<QString> PostgresBackend::property(const QString& name)
{
    try {
        const ServerResult result =
            m_session->run(QStringLiteral("SELECT value FROM %1 WHERE name = $1").arg(propertyTable).toUtf8(),
                           {name.toUtf8()}, ServerSession::Retry::OnceIfBroken);
        if (result.rowCount() == 0)
            return std::nullopt;
        return QString::fromUtf8(result.text(0, 0), result.length(0, 0));
    } catch (const StatementRefused& error) {
        // A database made before has no table yet, and a role may have been let read only the events.
        if (error.state() == "42P01" || error.state() == "42501")
            return std::nullopt;
        throw;
    }
}

std::optional<QString> PostgresBackend::storeProperty(const QString& name, const QString& value, PropertyWrite write)
{
    m_session->run("BEGIN");
    try {
        // Every program storing a value waits here for the one before, so that only one makes the table; the key
        // is a number of our own among the database's advisory locks.
        m_session->run("SELECT pg_advisory_xact_lock(7236481537249785856)");
        const QByteArray table = QByteArray(propertyTable);
        // Making a table needs the right to create in the schema even where it is there already: asked only
        // when it is not.
        if (m_session->run("SELECT to_regclass($1) IS NULL", {table}).text(0, 0)[0] == 't')
            m_session->run(propertyTableDefinition);
        m_session->run(QStringLiteral("INSERT INTO %1 (name, value) VALUES ($1, $2) ON CONFLICT (name) %2")
                           .arg(propertyTable, write == PropertyWrite::Replace
                                                   ? QStringLiteral("DO UPDATE SET value = excluded.value")
                                                   : QStringLiteral("DO NOTHING"))
                           .toUtf8(),
                       {name.toUtf8(), utf8Text(value)});
        const ServerResult stored = m_session->run(
            QStringLiteral("SELECT value FROM %1 WHERE name = $1").arg(propertyTable).toUtf8(), {name.toUtf8()});
        m_session->run("COMMIT");
        return QString::fromUtf8(stored.text(0, 0), stored.length(0, 0));
    } catch (const StatementRefused& error) {
        rollBack(*m_session);
        if (forbidsWriting(error))
            return std::nullopt;
        throw;
    } catch (...) {
        rollBack(*m_session);
        throw;
    }
}

QString PostgresBackend::databaseName()
{
    // The identifier initdb gave the server's data, which its standbys share; an administrator may have taken the
    // right to read it away.
    const ServerResult result = m_session->run(
        "SELECT CASE WHEN has_function_privilege('pg_control_system()', 'EXECUTE') "
        "THEN (SELECT system_identifier::text FROM pg_control_system()) ELSE '' END || '/' || current_database()",
        {}, ServerSession::Retry::OnceIfBroken);
    return QString::fromUtf8(result.text(0, 0), result.length(0, 0));
}

void PostgresBackend::readySearch()
{
    // A diary made before the search has neither our configuration nor the index: they are made at the first
    // search where this user may, each in a transaction of its own, as one may be allowed without the other (the
    // configuration needs the right to create in the schema, the index the table's ownership). Every program waits
    // here for the one before, so that only one makes them.
    inLockedTransaction(*m_session, "7236481537249785857", [this] {
        if (!ServerSearch::hasConfiguration(*m_session))
            ServerSearch::makeConfiguration(*m_session);
    });
    if (!ServerSearch::hasConfiguration(*m_session)) {
        // The server's own Russian configuration stems alike but drops its stop words, which then ask for nothing;
        // no index is made on it, so a search reads every event.
        m_searchConfiguration = QLatin1String(ServerSearch::fallbackConfiguration);
        return;
    }
    // Building the index reads every event once, and meanwhile the search reads them all each time. It is built
    // without a transaction, so that other machines go on writing; every program waits here for the one before.
    if (ServerSearch::indexState(*m_session, m_schema.name) != ServerSearch::IndexState::Valid) {
        constexpr const char* indexLock = "7236481537249785858";
        m_session->run(QByteArray("SELECT pg_advisory_lock(") + indexLock + ')');
        try {
            const ServerSearch::IndexState index = ServerSearch::indexState(*m_session, m_schema.name);
            // Over a million events the build takes minutes, off the window's thread; dropping one left invalid
            // waits for every transaction that may use the table.
            const ServerSession::LongStatements patient(*m_session, std::chrono::hours(2));
            if (index == ServerSearch::IndexState::Invalid)
                ServerSearch::dropIndex(*m_session, m_schema.name);
            if (index != ServerSearch::IndexState::Valid)
                ServerSearch::makeIndex(*m_session, m_schema.name, ServerSearch::Build::Concurrently);
        } catch (const StatementRefused& error) {
            if (!forbidsWriting(error)) {
                unlockAdvisory(*m_session, indexLock);
                throw;
            }
        } catch (...) {
            unlockAdvisory(*m_session, indexLock);
            throw;
        }
        unlockAdvisory(*m_session, indexLock);
    }
    m_searchConfiguration = QLatin1String(ServerSearch::configuration);
}

void PostgresBackend::interrupt()
{
    m_session->interrupt();
}

void PostgresBackend::prepareSearch(const SearchProgress&)
{
    if (m_searchConfiguration.isEmpty())
        readySearch();
}

std::vector<qint64> PostgresBackend::searchJobs(const SearchWords& typed, int limit)
{
    if (typed.isEmpty() || limit <= 0)
        return {};
    if (m_searchConfiguration.isEmpty())
        readySearch();
    Parameters words;
    for (const QString& word : typed.words)
        words.push_back(utf8Text(word));
    const ServerResult split =
        m_session->run(ServerSearch::lexemesStatement(m_searchConfiguration, static_cast<int>(words.size())), words,
                       ServerSession::Retry::OnceIfBroken);
    std::vector<std::pair<int, QString>> lexemes;
    for (int r = 0; r < split.rowCount(); ++r)
        lexemes.emplace_back(static_cast<int>(integerOf(split.text(r, 0), split.length(r, 0))),
                             QString::fromUtf8(split.text(r, 1), split.length(r, 1)));
    const QByteArray query =
        ServerSearch::queryText(lexemes, typed.lastIsPrefix ? static_cast<int>(typed.words.size()) : 0);
    if (query.isEmpty())
        return {};
    const ServerResult result =
        m_session->run(ServerSearch::statement(m_schema.name, m_table.key, m_searchConfiguration),
                       {QByteArray::number(limit), query}, ServerSession::Retry::OnceIfBroken);
    std::vector<qint64> keys;
    for (int r = 0; r < result.rowCount(); ++r)
        keys.push_back(integerOf(result.text(r, 0), result.length(r, 0)));
    return keys;
}

namespace {

// The token of every batch stored, so that a try whose answer was lost is found rather than run twice.
constexpr const char* batchTokenTable = "chronoteka_batch";
constexpr const char* batchTokenDefinition = "CREATE TABLE IF NOT EXISTS chronoteka_batch (token text PRIMARY KEY, "
                                             "made timestamp with time zone NOT NULL DEFAULT now())";

// A select's rows kept whole, in the engine's forms.
class RowsKept : public Backend::RowSink
{
public:
    void describe(std::vector<ColumnInfo> columns, std::vector<int>) override { m_packed = PackedRows(columns); }
    void addRow(qint64, std::span<const Backend::Cell> cells) override
    {
        m_packed.add(cells);
        ++m_count;
    }
    std::vector<std::vector<QVariant>> rows() const
    {
        std::vector<std::vector<QVariant>> rows;
        rows.reserve(static_cast<std::size_t>(m_count));
        for (int slot = 0; slot < m_count; ++slot)
            rows.push_back(m_packed.values(slot));
        return rows;
    }

private:
    PackedRows m_packed;
    int m_count = 0;
};

} // namespace

// A batch's statements, inside the transaction writeBatch holds: none is tried again on its own, as the
// transaction ends with the connection. Nor is one whose parameter nothing gives a type to ("? IS NULL"): the
// refusal has ended the transaction, so such a parameter is written with a CAST.
class ServerBatch : public Backend::Batch
{
public:
    explicit ServerBatch(PostgresBackend& backend)
        : m_backend(backend), m_now(timestampText(DateSerial::fromDateTime(Clock::now())))
    {
    }

    void run(const QString& sql, const QList<QVariant>& parameters) override { write(sql, parameters); }

    qint64 insert(const QString& sql, const QList<QVariant>& parameters) override
    {
        if (const std::optional<qint64> key = write(sql, parameters))
            return *key;
        const ServerResult last = m_backend.run("SELECT lastval()", {});
        return integerOf(last.text(0, 0), last.length(0, 0));
    }

    std::vector<std::vector<QVariant>> rows(const QString& sql, const QList<QVariant>& parameters) override
    {
        const Dialect::Translation translation = m_backend.translate(sql);
        checkCount(translation, parameters);
        RowsKept kept;
        m_backend.selectWith(translation, parameters, kept, ServerSession::Retry::Never);
        return kept.rows();
    }

private:
    static void checkCount(const Dialect::Translation& translation, const QList<QVariant>& parameters)
    {
        if (parameters.size() < translation.parameterCount)
            throw EngineErrors::missingParameters();
        if (parameters.size() > translation.parameterCount)
            throw EngineErrors::tooManyParameters();
    }

    // Events written are stamped, as a post of the program's would be; the search's index keeps itself. Returns
    // the key of the first event an insert wrote.
    std::optional<qint64> write(const QString& sql, const QList<QVariant>& parameters)
    {
        using Write = Dialect::Translation::Write;
        const Dialect::Translation translation = m_backend.translate(sql);
        checkCount(translation, parameters);
        const bool event = translation.write != Write::None &&
                           translation.writtenTable.compare(m_backend.m_schema.name, Qt::CaseInsensitive) == 0;
        const QString key = Dialect::quotedName(m_backend.m_table.key);
        const bool recorded = event && m_backend.m_journal->isRecording();
        if (recorded && translation.write != Write::Insert)
            noteBefore(translation, parameters);
        const ServerResult result =
            m_backend.run((event ? translation.sql + QStringLiteral(" RETURNING ") + key : translation.sql).toUtf8(),
                          serverValues(translation, parameters));
        if (!event || result.rowCount() == 0)
            return std::nullopt;
        QStringList keys;
        for (int r = 0; r < result.rowCount(); ++r) {
            keys << QString::fromUtf8(result.text(r, 0), result.length(r, 0));
            if (recorded && translation.write == Write::Insert)
                m_backend.m_journal->noteAdded(integerOf(result.text(r, 0), result.length(r, 0)));
        }
        if (translation.write != Write::Delete && m_stamped)
            m_backend.run(QStringLiteral("UPDATE %1 SET date_zap = $1 WHERE %2 = ANY($2::bigint[])")
                              .arg(Dialect::quotedName(m_backend.m_schema.name), key)
                              .toUtf8(),
                          {m_now, (u'{' + keys.join(u',') + u'}').toUtf8()});
        if (translation.write != Write::Insert)
            return std::nullopt;
        return integerOf(result.text(0, 0), result.length(0, 0));
    }

    // The rows an update or delete is about to change are found by running it once and rolling it back, as its
    // condition may be anything; their images are read before it runs for good.
    void noteBefore(const Dialect::Translation& translation, const QList<QVariant>& parameters)
    {
        m_backend.run("SAVEPOINT journal_keys", {});
        const ServerResult probe = m_backend.run(
            (translation.sql + QStringLiteral(" RETURNING ") + Dialect::quotedName(m_backend.m_table.key)).toUtf8(),
            serverValues(translation, parameters));
        m_backend.run("ROLLBACK TO SAVEPOINT journal_keys", {});
        m_backend.run("RELEASE SAVEPOINT journal_keys", {});
        for (int r = 0; r < probe.rowCount(); ++r)
            m_backend.m_journal->noteBefore(*this, integerOf(probe.text(r, 0), probe.length(r, 0)));
    }

    PostgresBackend& m_backend;
    const std::optional<QByteArray> m_now;
};

void PostgresBackend::readyBatchTokens()
{
    if (m_batchTokens != BatchTokens::Unknown)
        return;
    // Making a table needs the right to create in the schema even where it is there already: asked only when it is
    // not. Without it, batches are stored without their tokens, and a lost answer is not tried again.
    const bool missing =
        m_session->run("SELECT to_regclass($1) IS NULL", {QByteArray(batchTokenTable)}).text(0, 0)[0] == 't';
    const bool usable = !missing || inLockedTransaction(*m_session, "7236481537249785856",
                                                        [this] { m_session->run(batchTokenDefinition); });
    m_batchTokens = usable ? BatchTokens::Usable : BatchTokens::Forbidden;
}

void PostgresBackend::writeBatch(const QByteArray& token, const std::function<void(Batch&)>& work)
{
    const QString label = takeJournalLabel();
    const bool journaled = !label.isEmpty() && readyJournal();
    readyBatchTokens();
    const bool noted = !token.isEmpty() && m_batchTokens == BatchTokens::Usable;
    // A connection lost on the way is opened anew and the work tried once more: the token tells whether the first
    // try's COMMIT was done, its answer lost.
    for (int attempt = 0;; ++attempt) {
        try {
            m_session->run("BEGIN");
            try {
                if (noted) {
                    // Waits for a try of the same token still under way on a connection the server has yet to
                    // find gone, and then finds its token if it was stored.
                    const ServerResult fresh =
                        m_session->run(QStringLiteral("INSERT INTO %1 (token) VALUES ($1) ON CONFLICT DO NOTHING "
                                                      "RETURNING 1")
                                           .arg(QLatin1String(batchTokenTable))
                                           .toUtf8(),
                                       {token});
                    if (fresh.rowCount() == 0) {
                        rollBack(*m_session);
                        return;
                    }
                    m_session->run(QStringLiteral("DELETE FROM %1 WHERE made < now() - interval '30 days'")
                                       .arg(QLatin1String(batchTokenTable))
                                       .toUtf8());
                }
                ServerBatch batch(*this);
                std::optional<UndoJournal::Recording> recording;
                if (journaled) {
                    lockJournal();
                    recording.emplace(*m_journal, label);
                }
                m_inBatch = true;
                work(batch);
                if (recording)
                    m_journal->finish(batch);
                m_inBatch = false;
                m_session->run("COMMIT");
                return;
            } catch (...) {
                m_inBatch = false;
                rollBack(*m_session);
                throw;
            }
        } catch (const ServerUnreachable&) {
            if (!noted || attempt > 0)
                throw;
        }
    }
}

bool PostgresBackend::readyJournal()
{
    if (m_journalTable == JournalTable::Unknown) {
        // As with the batch tokens: the right to create is asked only when the table is not there.
        const bool missing =
            m_session->run("SELECT to_regclass($1) IS NULL", {QByteArray(UndoJournal::table)}).text(0, 0)[0] == 't';
        const bool usable = !missing || inLockedTransaction(*m_session, "7236481537249785856",
                                                            [this] { m_session->run(UndoJournal::definition); });
        m_journalTable = usable ? JournalTable::Usable : JournalTable::Forbidden;
    }
    return m_journalTable == JournalTable::Usable;
}

// Two computers recording a step at once would number both after the same last one: the second waits for the
// first's transaction to end, its own writes not yet begun.
void PostgresBackend::lockJournal()
{
    m_session->run("SELECT pg_advisory_xact_lock(7236481537249785857)");
}

void PostgresBackend::recorded(const QString& table, std::optional<qint64> existing,
                               const std::function<qint64()>& write)
{
    QString label = takeJournalLabel();
    if (label.isEmpty() || table.compare(m_schema.name, Qt::CaseInsensitive) != 0 || !readyJournal()) {
        write();
        return;
    }
    // The row's write and its step go in one transaction, as one statement alone would be.
    m_session->run("BEGIN");
    try {
        lockJournal();
        ServerBatch batch(*this);
        UndoJournal::Recording recording(*m_journal, std::move(label));
        m_inBatch = true;
        if (existing)
            m_journal->noteBefore(batch, *existing);
        const qint64 key = write();
        if (!existing)
            m_journal->noteAdded(key);
        m_journal->finish(batch);
        m_inBatch = false;
        m_session->run("COMMIT");
    } catch (...) {
        m_inBatch = false;
        rollBack(*m_session);
        throw;
    }
}
