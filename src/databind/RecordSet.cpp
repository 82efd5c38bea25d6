#include "databind/RecordSet.h"

#include "databind/DataSource.h"
#include "databind/DatabaseError.h"
#include "engine/Connection.h"
#include "engine/Snapshot.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace {

bool startsName(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool continuesName(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// What a field reads where there is no value: a constant, as a function's static would cost a guard check each read.
const QVariant nullValue;

} // namespace

RecordSet::RecordSet(QString name, Connection& connection) : m_name(std::move(name)), m_connection(connection) {}

RecordSet::~RecordSet()
{
    for (DataSource* source : m_sources)
        source->m_recordSet = nullptr;
}

void RecordSet::fail(const QString& text) const
{
    throw DatabaseError(m_name + QStringLiteral(": ") + text);
}

void RecordSet::checkOpen() const
{
    if (!isOpen())
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void RecordSet::checkCanModify() const
{
    if (!canModify())
        fail(QStringLiteral("Cannot modify a read-only dataset"));
}

template <class Call> void RecordSet::notify(Call call)
{
    // Index loop: a source may detach itself while being notified.
    for (std::size_t i = 0; i < m_sources.size(); ++i)
        call(*m_sources[i]);
}

void RecordSet::attach(DataSource* source)
{
    m_sources.push_back(source);
}

void RecordSet::detach(DataSource* source)
{
    m_sources.erase(std::remove(m_sources.begin(), m_sources.end(), source), m_sources.end());
}

// --- query text and parameters ---

void RecordSet::setSql(const QStringList& lines)
{
    close();
    std::vector<Parameter> previous = std::move(m_parameters);
    m_parameters.clear();
    m_sql = lines;
    makeStatement();
    for (Parameter& parameter : m_parameters) {
        for (const Parameter& old : previous) {
            if (old.name.compare(parameter.name, Qt::CaseInsensitive) == 0) {
                parameter.value = old.value;
                break;
            }
        }
    }
}

void RecordSet::makeStatement()
{
    const QString text = m_sql.join(QLatin1Char('\n'));
    m_statement.clear();
    m_statement.reserve(text.size());
    m_markers.clear();
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            m_statement += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            m_statement += c;
            continue;
        }
        if (c == QLatin1Char(':') && i + 1 < text.size()) {
            const QChar after = text.at(i + 1);
            if (after == QLatin1Char(':')) {
                m_statement += c;
                ++i;
                continue;
            }
            if (startsName(after)) {
                qsizetype end = i + 1;
                while (end < text.size() && continuesName(text.at(end)))
                    ++end;
                const QString name = text.mid(i + 1, end - i - 1);
                auto found = std::find_if(m_parameters.begin(), m_parameters.end(), [&](const Parameter& p) {
                    return p.name.compare(name, Qt::CaseInsensitive) == 0;
                });
                if (found == m_parameters.end()) {
                    m_parameters.push_back({name, QVariant()});
                    found = m_parameters.end() - 1;
                }
                m_markers.push_back(static_cast<int>(found - m_parameters.begin()));
                m_statement += QLatin1Char('?');
                i = end - 1;
                continue;
            }
        }
        m_statement += c;
    }
}

QStringList RecordSet::parameterNames() const
{
    QStringList names;
    for (const Parameter& parameter : m_parameters)
        names.append(parameter.name);
    return names;
}

void RecordSet::setParameter(const QString& name, const QVariant& value)
{
    for (Parameter& parameter : m_parameters) {
        if (parameter.name.compare(name, Qt::CaseInsensitive) == 0) {
            parameter.value = value;
            return;
        }
    }
    fail(QStringLiteral("Parameter '%1' not found").arg(name));
}

QVariant RecordSet::parameter(const QString& name) const
{
    for (const Parameter& parameter : m_parameters) {
        if (parameter.name.compare(name, Qt::CaseInsensitive) == 0)
            return parameter.value;
    }
    fail(QStringLiteral("Parameter '%1' not found").arg(name));
}

// --- fields ---

Field& RecordSet::addField(const QString& name, FieldKind kind, int size)
{
    if (isOpen())
        fail(QStringLiteral("Cannot perform this operation on an open dataset"));
    m_declaredFields = true;
    m_fields.push_back(std::unique_ptr<Field>(new Field(*this, name, kind, size, fieldCount())));
    return *m_fields.back();
}

Field* RecordSet::findField(const QString& name) const
{
    for (const std::unique_ptr<Field>& field : m_fields) {
        if (field->m_name.compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    }
    return nullptr;
}

Field& RecordSet::fieldByName(const QString& name) const
{
    Field* field = findField(name);
    if (!field)
        fail(QStringLiteral("Field '%1' not found").arg(name));
    return *field;
}

void RecordSet::bindFields()
{
    if (!m_declaredFields) {
        m_fields.clear();
        for (int c = 0; c < m_snapshot->columnCount(); ++c) {
            const ColumnInfo& column = m_snapshot->column(c);
            auto field = std::unique_ptr<Field>(new Field(*this, column.name, column.kind, column.size, c));
            field->m_column = c;
            field->m_readOnly = column.readOnly;
            m_fields.push_back(std::move(field));
        }
        return;
    }
    for (const std::unique_ptr<Field>& field : m_fields) {
        const int column = m_snapshot->columnIndex(field->m_name);
        if (column < 0) {
            for (const std::unique_ptr<Field>& f : m_fields)
                f->m_column = -1;
            fail(QStringLiteral("Field '%1' not found").arg(field->m_name));
        }
        field->m_column = column;
        if (field->m_size == 0)
            field->m_size = m_snapshot->column(column).size;
    }
}

// --- reading ---

bool RecordSet::canModify() const
{
    return m_snapshot && !m_readOnly && m_snapshot->isUpdatable();
}

int RecordSet::recordCount() const
{
    if (!m_snapshot)
        return 0;
    return m_snapshot->rowCount() + (m_state == State::Insert ? 1 : 0);
}

int RecordSet::listedCount() const
{
    if (!m_snapshot)
        return 0;
    return m_snapshot->listedRows() + (m_state == State::Insert ? 1 : 0);
}

bool RecordSet::isEmpty() const
{
    if (!m_snapshot)
        return true;
    return m_state != State::Insert && !m_snapshot->hasRow(0);
}

int RecordSet::findRecord(qint64 rowId) const
{
    return m_snapshot && m_state == State::Browse ? m_snapshot->findRow(rowId) : -1;
}

bool RecordSet::isListing() const
{
    return m_snapshot && m_snapshot->isListing();
}

bool RecordSet::listMore()
{
    return m_snapshot && m_snapshot->listMore();
}

bool RecordSet::readAhead(int first, int count)
{
    if (!m_snapshot)
        return true;
    // The record being inserted is no row of the snapshot: the rows after it are one place further down.
    const int before = m_state == State::Insert && m_current < first ? 1 : 0;
    return m_snapshot->readAhead(std::max(first - before, 0), count);
}

RecordSet::HeldRowsOnly::HeldRowsOnly(RecordSet* set) : m_snapshot(set ? set->m_snapshot.get() : nullptr)
{
    if (m_snapshot)
        m_snapshot->setHeldRowsOnly(true);
}

RecordSet::HeldRowsOnly::~HeldRowsOnly()
{
    if (m_snapshot)
        m_snapshot->setHeldRowsOnly(false);
}

int RecordSet::setActiveRow(int row)
{
    const int previous = m_activeOverride;
    m_activeOverride = row;
    return previous;
}

bool RecordSet::readsBuffer() const
{
    return isEditing() && activeRow() == m_current;
}

int RecordSet::snapshotRow(int row) const
{
    if (!m_snapshot || row < 0)
        return -1;
    if (m_state == State::Insert) {
        if (row == m_current)
            return -1;
        if (row > m_current)
            --row;
    }
    return m_snapshot->hasRow(row) ? row : -1;
}

const QVariant& RecordSet::storedValue(const Field& field) const
{
    if (readsBuffer())
        return m_buffer[static_cast<std::size_t>(field.m_index)];
    const int row = snapshotRow(activeRow());
    if (row < 0 || field.m_column < 0)
        return nullValue;
    if (m_activeOverride < 0)
        m_snapshot->keepRow(row);
    return m_snapshot->value(row, field.m_column);
}

void RecordSet::writeValue(Field& field, QVariant value)
{
    if (!isEditing())
        fail(QStringLiteral("Dataset not in edit or insert mode"));
    if (field.m_readOnly)
        throw DatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field.displayLabel()));
    const auto index = static_cast<std::size_t>(field.m_index);
    m_buffer[index] = std::move(value);
    m_written[index] = true;
    m_modified = true;
    notify([&](DataSource& source) { source.notifyRecordChanged(&field); });
}

// --- opening and closing ---

void RecordSet::open()
{
    if (isOpen())
        return;
    QList<QVariant> values;
    values.reserve(static_cast<qsizetype>(m_markers.size()));
    for (const int marker : m_markers)
        values.append(m_parameters[static_cast<std::size_t>(marker)].value);
    m_snapshot = m_connection.select(m_statement, values);
    try {
        bindFields();
    } catch (...) {
        m_snapshot.reset();
        throw;
    }
    m_snapshot->setListed([this](int first, int count) {
        // As the set numbers its records: a record being inserted before them moves them one down.
        const int at = m_state == State::Insert && m_current <= first ? first + 1 : first;
        notify([=](DataSource& source) { source.notifyRowsListed(at, count); });
    });
    const int rows = m_snapshot->listedRows();
    m_state = State::Browse;
    m_modified = false;
    m_current = rows > 0 ? 0 : -1;
    m_atStart = true;
    m_atEnd = rows == 0;
    notify([](DataSource& source) { source.notifyActiveChanged(); });
}

void RecordSet::close()
{
    if (!isOpen())
        return;
    m_state = State::Inactive;
    m_modified = false;
    m_buffer.clear();
    m_written.clear();
    m_snapshot.reset();
    m_current = -1;
    m_activeOverride = -1;
    m_atStart = m_atEnd = false;
    // Fields made from the result go with it, but only after the controls have let go of them.
    std::vector<std::unique_ptr<Field>> madeFields;
    if (m_declaredFields) {
        for (const std::unique_ptr<Field>& field : m_fields)
            field->m_column = -1;
    } else {
        madeFields.swap(m_fields);
        for (const std::unique_ptr<Field>& field : madeFields)
            field->m_column = -1;
    }
    notify([](DataSource& source) { source.notifyActiveChanged(); });
}

// --- moving ---

void RecordSet::checkBrowseMode()
{
    checkOpen();
    if (isEditing()) {
        updateRecord();
        if (m_modified)
            post();
        else
            cancel();
    }
}

void RecordSet::updateRecord()
{
    if (!isEditing())
        fail(QStringLiteral("Dataset not in edit or insert mode"));
    notify([](DataSource& source) { source.notifyUpdateData(); });
}

void RecordSet::first()
{
    checkBrowseMode();
    const int previous = m_current;
    const bool empty = isEmpty();
    m_current = empty ? -1 : 0;
    m_atStart = true;
    m_atEnd = empty;
    notify([&](DataSource& source) { source.notifyRecordMoved(m_current - previous); });
}

void RecordSet::last()
{
    checkBrowseMode();
    const int previous = m_current;
    const int count = recordCount();
    m_current = count - 1;
    m_atEnd = true;
    m_atStart = count == 0;
    notify([&](DataSource& source) { source.notifyRecordMoved(m_current - previous); });
}

void RecordSet::prior()
{
    moveBy(-1);
}

void RecordSet::next()
{
    moveBy(1);
}

int RecordSet::moveBy(int distance)
{
    checkBrowseMode();
    if (distance == 0 || (distance > 0 && m_atEnd) || (distance < 0 && m_atStart))
        return 0;
    const int previous = m_current;
    // Wide arithmetic: a grid may ask to move by INT_MIN or INT_MAX rows.
    const long long target = static_cast<long long>(m_current) + distance;
    // A list read in steps is listed as far as the move goes (browsing: no record is being inserted).
    if (target >= 0)
        m_snapshot->hasRow(static_cast<int>(std::min<long long>(target, std::numeric_limits<int>::max() - 1)));
    m_atStart = m_atEnd = false;
    const int count = listedCount();
    if (target >= count) {
        m_current = count - 1;
        m_atEnd = true;
    } else if (target < 0) {
        m_current = count > 0 ? 0 : -1;
        m_atStart = true;
    } else {
        m_current = static_cast<int>(target);
    }
    const int moved = m_current - previous;
    notify([&](DataSource& source) { source.notifyRecordMoved(moved); });
    return moved;
}

// --- editing ---

void RecordSet::settleFlags()
{
    m_atStart = m_atEnd = isEmpty();
}

void RecordSet::startEditing(State state)
{
    m_buffer.assign(m_fields.size(), QVariant());
    if (state == State::Edit) {
        const int row = m_current;
        m_snapshot->keepRow(row);
        for (const std::unique_ptr<Field>& field : m_fields) {
            if (field->m_column >= 0)
                m_buffer[static_cast<std::size_t>(field->m_index)] = m_snapshot->value(row, field->m_column);
        }
    }
    m_written.assign(m_fields.size(), false);
    m_state = state;
    m_modified = false;
}

void RecordSet::finishEditing()
{
    const bool inserting = m_state == State::Insert;
    m_state = State::Browse;
    m_modified = false;
    m_buffer.clear();
    m_written.clear();
    // After the write nothing more is read: the current record stays among the rows listed.
    if (inserting && m_current >= m_snapshot->listedRows())
        m_current = m_snapshot->listedRows() - 1;
}

void RecordSet::edit()
{
    if (isEditing())
        return;
    checkOpen();
    if (!m_snapshot->hasRow(0)) {
        insert();
        return;
    }
    checkCanModify();
    startEditing(State::Edit);
    notify([](DataSource& source) { source.notifyStateChanged(); });
}

void RecordSet::insert()
{
    checkBrowseMode();
    checkCanModify();
    if (m_current < 0)
        m_current = 0;
    m_snapshot->beginInsert();
    startEditing(State::Insert);
    notify([](DataSource& source) { source.notifyStateChanged(); });
    notify([](DataSource& source) { source.notifyDataSetChanged(); });
}

void RecordSet::post()
{
    if (!isEditing())
        fail(QStringLiteral("Dataset not in edit or insert mode"));
    updateRecord();
    if (m_beforePost)
        m_beforePost(*this);

    Snapshot::Values values;
    for (const std::unique_ptr<Field>& field : m_fields) {
        const auto index = static_cast<std::size_t>(field->m_index);
        if (m_written[index] && field->m_column >= 0)
            values.emplace_back(field->m_column, m_buffer[index]);
    }
    if (m_state == State::Insert)
        m_snapshot->insertRow(m_current, values);
    else if (!values.empty())
        m_snapshot->updateRow(m_current, values);

    finishEditing();
    settleFlags();
    notify([](DataSource& source) { source.notifyStateChanged(); });
    notify([](DataSource& source) { source.notifyDataSetChanged(); });
    if (m_afterWrite)
        m_afterWrite(*this);
}

void RecordSet::cancel()
{
    if (!isEditing())
        return;
    finishEditing();
    settleFlags();
    notify([](DataSource& source) { source.notifyStateChanged(); });
    notify([](DataSource& source) { source.notifyDataSetChanged(); });
}

void RecordSet::remove()
{
    checkOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (!m_snapshot->hasRow(0))
        fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    checkCanModify();
    if (m_beforeDelete)
        m_beforeDelete(*this);
    m_snapshot->deleteRow(m_current);

    const bool wasEditing = m_state == State::Edit;
    finishEditing();
    // After the write nothing more is read: the current record stays among the rows listed.
    m_current = std::min(m_current, m_snapshot->listedRows() - 1);
    settleFlags();
    if (wasEditing)
        notify([](DataSource& source) { source.notifyStateChanged(); });
    notify([](DataSource& source) { source.notifyDataSetChanged(); });
    if (m_afterWrite)
        m_afterWrite(*this);
}

void RecordSet::refresh()
{
    checkBrowseMode();
    const bool hadRecord = m_current >= 0;
    const qint64 rowId = hadRecord ? m_snapshot->rowId(m_current) : 0;
    m_snapshot->reread();
    // The rows are new whatever listing them further does: a failure is told after the set has taken them.
    int current = -1;
    std::exception_ptr failed;
    try {
        current = hadRecord ? m_snapshot->findRow(rowId) : -1;
        if (current < 0)
            m_snapshot->hasRow(std::max(m_current, 0));
    } catch (...) {
        failed = std::current_exception();
        current = -1;
    }
    if (current < 0) {
        const int rows = m_snapshot->listedRows();
        current = rows == 0 ? -1 : std::clamp(m_current, 0, rows - 1);
    }
    m_current = current;
    settleFlags();
    notify([](DataSource& source) { source.notifyDataSetChanged(); });
    if (failed)
        std::rethrow_exception(failed);
}
