#include "engine/Snapshot.h"

#include "engine/Backend.h"
#include "engine/DecodedRows.h"
#include "engine/PackedRows.h"
#include "base/CodePoints.h"
#include "base/DateSerial.h"
#include "engine/EngineErrors.h"
#include "engine/ServerWait.h"

#include <QDateTime>
#include <QUuid>

#include <algorithm>
#include <limits>
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

// Rows of a paged select read by their keys, as one span of positions: a page.
struct Page
{
    int first = 0; // the position of its first row
    int count = 0;
    qint64 id = 0; // names its rows to the decoded ones, never given again
    PackedRows rows;
    std::vector<int> slotAt; // by position from first: the row's slot in rows, -1 when the row is gone
    unsigned lastUse = 0;

    int end() const { return first + count; }
};

// Gathers a page's rows as the backend gives them, in any order.
class PageSink : public Backend::RowSink
{
public:
    static constexpr std::size_t pageArena = 4096;

    // The first page tells the columns; every later one must read the same.
    PageSink(Page& page, std::vector<std::pair<qint64, int>> offsets, std::vector<ColumnInfo>& columns,
             std::vector<int>& tableColumns, bool first)
        : m_page(page), m_offsets(std::move(offsets)), m_columns(columns), m_tableColumns(tableColumns), m_first(first)
    {
        std::sort(m_offsets.begin(), m_offsets.end());
    }

    void describe(std::vector<ColumnInfo> columns, std::vector<int> tableColumns) override
    {
        if (m_first) {
            m_columns = std::move(columns);
            m_tableColumns = std::move(tableColumns);
        } else if (!sameColumns(columns) || tableColumns != m_tableColumns) {
            // Another program changed the table's columns since the list was read (a "*" reads them anew).
            throw EngineErrors::columnsChanged();
        }
        // Small arenas: a page of a few rows wastes little of its last one.
        m_page.rows = PackedRows(m_columns, pageArena);
    }
    void addRow(qint64 rowIdentity, std::span<const Backend::Cell> cells) override
    {
        const auto found = std::lower_bound(m_offsets.begin(), m_offsets.end(), std::pair<qint64, int>(rowIdentity, 0));
        if (found == m_offsets.end() || found->first != rowIdentity)
            return;
        m_page.slotAt[static_cast<size_t>(found->second)] = m_page.rows.add(cells);
    }

private:
    bool sameColumns(const std::vector<ColumnInfo>& columns) const
    {
        return std::equal(
            columns.begin(), columns.end(), m_columns.begin(), m_columns.end(),
            [](const ColumnInfo& a, const ColumnInfo& b) { return a.name == b.name && a.kind == b.kind; });
    }

    Page& m_page;
    std::vector<std::pair<qint64, int>> m_offsets; // (key, position from the page's first)
    std::vector<ColumnInfo>& m_columns;
    std::vector<int>& m_tableColumns;
    bool m_first;
};

} // namespace

// What a cell of a row not read, or of a row gone, reads as.
const QVariant gone;

struct Snapshot::Data : Backend::RowSink
{
    // A paged select reads its rows this many at a time, and more when they are read one after another.
    static constexpr int pageRows = 64;
    static constexpr int mostPageRows = 1024;
    // The most rows its pages hold at once; those read longest ago are dropped.
    static constexpr int heldRows = 2 * mostPageRows;
    // Rows read ahead this many or more at once are read as they are asked for.
    static constexpr int screenRows = 16;
    // A list that can go on from its last key is read this many keys first, enough for a screen, and the rest as
    // it is needed or in steps of listStepRows.
    static constexpr int firstListedRows = 4 * pageRows;
    static constexpr int listStepRows = 8192;

    std::shared_ptr<Backend> backend;
    Dialect::Translation translation;
    QList<QVariant> parameters;
    std::vector<ColumnInfo> columns;
    // Indexes of the columns read from the table itself; the ones re-read after a write.
    std::vector<int> tableColumns;
    // By position: each row's identity, 0 when the select has none.
    std::vector<qint64> keys;
    // While the list is being read in steps: the last key listed, and the keys of rows this snapshot inserted
    // meanwhile, which a later step must not list a second time.
    bool listing = false;
    qint64 listedAfter = 0;
    std::set<qint64> insertedWhileListing;
    std::function<void(int, int)> listed;

    // A select whose rows can be read again by their keys holds only the pages read lately; any other holds every
    // row, each at a slot that never changes, only its position in order.
    bool paged = false;
    PackedRows rows;
    std::vector<int> order;
    std::vector<std::shared_ptr<Page>> pages; // the one read last first
    bool heldOnly = false;
    int lastPageEnd = -1; // where the page read last ends, and how many rows it had
    int lastPageRows = 0;
    unsigned uses = 0;
    qint64 nextId = 1;
    // The record kept as it was read while pages come and go (see keepRow): its page stays while it is kept.
    struct Kept
    {
        qint64 key = 0;
        std::shared_ptr<Page> page;
        int offset = 0;
    } kept;
    DecodedRows decoded;

    // By key: the values of writes of the row whose answer never came (the server went away), which the row may
    // hold now. A write the database refused is known not to be stored.
    std::map<qint64, std::vector<std::map<int, QVariant>>> unconfirmed;
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
        keys.push_back(rowIdentity);
    }

    void load();
    void listStep(int count);
    void listTo(int row);
    void checkRow(int row);
    const ColumnInfo& writableColumn(int column) const;
    void requireUpdatable() const;
    Backend::RowWrite write() const { return {translation.table, columns, tableColumns}; }

    Page* heldPage(int row);
    Page& pageAt(int row);
    void readPage(int first, int count, bool describing);
    void dropPagesFrom(int row);
    const QVariant& cell(int row, int column);
    const QVariant& pageCell(Page& page, int offset, int column);
    void writePage(Page& page, int offset, const std::vector<QVariant>& cells);
    std::vector<QVariant> values(int row);
    void store(int row, const std::vector<QVariant>& tableValues);
    Backend::RowStates expectedStates(int row, const std::set<int>& columns);
};

void Snapshot::Data::load()
{
    if (parameters.size() < translation.parameterCount)
        throw EngineErrors::missingParameters();
    if (parameters.size() > translation.parameterCount)
        throw EngineErrors::tooManyParameters();
    rows = PackedRows();
    decoded = DecodedRows();
    keys.clear();
    order.clear();
    pages.clear();
    kept = {};
    listing = false;
    insertedWhileListing.clear();
    paged = !translation.rowsSql.isEmpty();
    if (!paged) {
        backend->select(translation, parameters, *this);
        return;
    }
    // The keys first, then the first rows, whose select tells the columns even when there are none.
    const bool none = std::any_of(translation.emptyWhenNull.begin(), translation.emptyWhenNull.end(),
                                  [this](int parameter) { return parameters[parameter].isNull(); });
    if (none) {
        // Nothing equals null: no need to look through the table to find that no row does.
    } else if (translation.keysAfterSql.isEmpty()) {
        keys = backend->selectKeys(translation, parameters);
        keys.shrink_to_fit();
    } else {
        listing = true;
        listedAfter = std::numeric_limits<qint64>::min();
        listStep(firstListedRows);
    }
    readPage(0, std::min<int>(pageRows, static_cast<int>(keys.size())), true);
}

void Snapshot::Data::listStep(int count)
{
    if (!listing)
        return;
    Dialect::Translation step = translation;
    step.keysSql =
        translation.keysAfterSql + QString::number(listedAfter) + translation.keysLimitSql + QString::number(count);
    const std::vector<qint64> more = backend->selectKeys(step, parameters);
    if (static_cast<int>(more.size()) < count)
        listing = false;
    if (!more.empty())
        listedAfter = more.back();
    const int first = static_cast<int>(keys.size());
    for (const qint64 key : more) {
        if (!insertedWhileListing.contains(key))
            keys.push_back(key);
    }
    if (!listing) {
        insertedWhileListing.clear();
        // The keys grew by doubling: what they no longer need goes once they are all listed.
        keys.shrink_to_fit();
    }
    const int added = static_cast<int>(keys.size()) - first;
    if (added > 0 && listed)
        listed(first, added);
}

void Snapshot::Data::listTo(int row)
{
    // A painting reads only what is held: no step either.
    if (heldOnly)
        return;
    // Steps that grow with the rows wanted: a position far ahead is reached in a few.
    while (listing && row >= static_cast<int>(keys.size())) {
        const long long wanted = static_cast<long long>(row) - static_cast<long long>(keys.size()) + 1;
        listStep(static_cast<int>(std::clamp<long long>(wanted, listStepRows, std::numeric_limits<int>::max() / 2)));
    }
}

void Snapshot::Data::readPage(int first, int count, bool describing)
{
    // Room first: the pages read longest ago go.
    int held = count;
    for (const auto& page : pages)
        held += page->count;
    while (!pages.empty() && held > heldRows) {
        const auto oldest = std::min_element(pages.begin(), pages.end(),
                                             [](const auto& a, const auto& b) { return a->lastUse < b->lastUse; });
        held -= (*oldest)->count;
        pages.erase(oldest);
    }
    auto page = std::make_shared<Page>();
    page->first = first;
    page->count = count;
    page->id = nextId++;
    page->slotAt.assign(static_cast<size_t>(count), -1);
    page->lastUse = ++uses;
    std::vector<std::pair<qint64, int>> offsets;
    offsets.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        offsets.emplace_back(keys[static_cast<size_t>(first + i)], i);
    PageSink sink(*page, std::move(offsets), columns, tableColumns, describing);
    const std::span<const qint64> wanted(keys.data() + first, static_cast<size_t>(count));
    backend->selectRows(translation, wanted, sink);
    // Its rows are read once and written seldom: they keep one block of just their bytes.
    page->rows.shrinkToFit();
    lastPageEnd = page->end();
    lastPageRows = count;
    // The first read of an empty list only tells the columns: a page of no rows is not kept.
    if (count > 0)
        pages.insert(pages.begin(), std::move(page));
}

Page* Snapshot::Data::heldPage(int row)
{
    if (!pages.empty() && row >= pages.front()->first && row < pages.front()->end())
        return pages.front().get();
    for (auto it = pages.begin(); it != pages.end(); ++it) {
        if (row >= (*it)->first && row < (*it)->end()) {
            (*it)->lastUse = ++uses;
            std::rotate(pages.begin(), it, it + 1);
            return pages.front().get();
        }
    }
    return nullptr;
}

Page& Snapshot::Data::pageAt(int row)
{
    if (Page* page = heldPage(row))
        return *page;
    // A page starts after the pages before the row and stops where a page after it begins.
    int first = row / pageRows * pageRows;
    for (const auto& page : pages) {
        if (page->end() <= row && page->end() > first)
            first = page->end();
    }
    // Rows read one page after another are read in larger pages, up to a limit.
    const int wanted = first == lastPageEnd ? std::clamp(2 * lastPageRows, pageRows, mostPageRows) : pageRows;
    int end = std::min(first + wanted, static_cast<int>(keys.size()));
    for (const auto& page : pages) {
        if (page->first > row && page->first < end)
            end = page->first;
    }
    readPage(first, end - first, false);
    return *pages.front();
}

void Snapshot::Data::dropPagesFrom(int row)
{
    // Positions from row on shift: a page over them would show other rows.
    pages.erase(std::remove_if(pages.begin(), pages.end(), [row](const auto& page) { return page->end() > row; }),
                pages.end());
    lastPageEnd = -1;
}

void Snapshot::Data::checkRow(int row)
{
    listTo(row);
    if (row < 0 || row >= static_cast<int>(keys.size()))
        throw EngineError(QStringLiteral("Row %1 is outside the %2 rows of the result.").arg(row).arg(keys.size()));
}

const QVariant& Snapshot::Data::cell(int row, int column)
{
    if (!paged) {
        const int slot = order[static_cast<size_t>(row)];
        return decoded.value(rows, slot, slot, column);
    }
    if (kept.page && kept.key == keys[static_cast<size_t>(row)])
        return pageCell(*kept.page, kept.offset, column);
    Page* page = heldPage(row);
    if (!page) {
        // While the window waits for the server it may paint, but the server can't be asked anything else: a row
        // not held then shows empty, and its reader reads it again after the wait (see readAhead).
        if (heldOnly || ServerWait::inProgress())
            return gone;
        page = &pageAt(row);
    }
    return pageCell(*page, row - page->first, column);
}

const QVariant& Snapshot::Data::pageCell(Page& page, int offset, int column)
{
    const int slot = page.slotAt[static_cast<size_t>(offset)];
    // A row deleted by someone else after its key was read shows empty until the list is read again.
    if (slot < 0)
        return gone;
    return decoded.value(page.rows, slot, (page.id << 32) + offset, column);
}

void Snapshot::Data::writePage(Page& page, int offset, const std::vector<QVariant>& cells)
{
    int& slot = page.slotAt[static_cast<size_t>(offset)];
    if (slot < 0)
        slot = page.rows.add(cells);
    else
        page.rows.replace(slot, cells);
    decoded.refresh(page.rows, slot, (page.id << 32) + offset);
}

std::vector<QVariant> Snapshot::Data::values(int row)
{
    std::vector<QVariant> cells(static_cast<size_t>(width()));
    for (int c = 0; c < width(); ++c)
        cells[static_cast<size_t>(c)] = cell(row, c);
    return cells;
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

void Snapshot::Data::store(int row, const std::vector<QVariant>& tableValues)
{
    std::vector<QVariant> cells = values(row);
    for (size_t i = 0; i < tableValues.size(); ++i)
        cells[static_cast<size_t>(tableColumns[i])] = tableValues[i];
    if (!paged) {
        const int slot = order[static_cast<size_t>(row)];
        rows.replace(slot, cells);
        decoded.refresh(rows, slot, slot);
        return;
    }
    const bool isKept = kept.page && kept.key == keys[static_cast<size_t>(row)];
    if (isKept)
        writePage(*kept.page, kept.offset, cells);
    for (const auto& page : pages) {
        if (row >= page->first && row < page->end() && !(isKept && page == kept.page))
            writePage(*page, row - page->first, cells);
    }
}

// The row as held, over columns, and the same overlaid by each write of it whose answer was lost.
Backend::RowStates Snapshot::Data::expectedStates(int row, const std::set<int>& columns)
{
    std::map<int, QVariant> read;
    for (int column : columns)
        read[column] = cell(row, column);
    Backend::RowStates states{read};
    if (const auto tries = unconfirmed.find(keys[static_cast<size_t>(row)]); tries != unconfirmed.end()) {
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
    d->listTo(std::numeric_limits<int>::max() - 1);
    return static_cast<int>(d->keys.size());
}

int Snapshot::listedRows() const
{
    return static_cast<int>(d->keys.size());
}

bool Snapshot::hasRow(int row) const
{
    d->listTo(row);
    return row >= 0 && row < static_cast<int>(d->keys.size());
}

bool Snapshot::isListing() const
{
    return d->listing;
}

bool Snapshot::listMore()
{
    d->listStep(Data::listStepRows);
    return d->listing;
}

void Snapshot::setListed(std::function<void(int, int)> listed)
{
    d->listed = std::move(listed);
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
    d->checkRow(row);
    return d->cell(row, column);
}

void Snapshot::keepRow(int row)
{
    if (!d->paged || row < 0 || row >= listedRows())
        return;
    const qint64 key = d->keys[static_cast<size_t>(row)];
    if (d->kept.page && d->kept.key == key)
        return;
    // As a read: no page is read for it while a wait on the server is in progress or while only held rows are read.
    if (!d->heldPage(row) && (d->heldOnly || ServerWait::inProgress()))
        return;
    // pageAt leaves the row's page first.
    const int first = d->pageAt(row).first;
    d->kept = {key, d->pages.front(), row - first};
}

bool Snapshot::readAhead(int first, int count)
{
    if (!d->paged)
        return true;
    const int end = std::min(first + count, listedRows());
    for (int row = std::max(first, 0); row < end; ++row) {
        if (d->heldPage(row))
            continue;
        if (ServerWait::inProgress())
            return false;
        // The rows up to the next held one: a screen of them is read as one page of just those rows, a few (a
        // scroll by a line) as a page of the usual size around them.
        int runEnd = row + 1;
        while (runEnd < end && runEnd - row < Data::mostPageRows && !d->heldPage(runEnd))
            ++runEnd;
        if (runEnd - row >= Data::screenRows) {
            d->readPage(row, runEnd - row, false);
            row = runEnd - 1;
        } else {
            d->pageAt(row);
        }
    }
    return true;
}

void Snapshot::setHeldRowsOnly(bool heldOnly)
{
    d->heldOnly = heldOnly;
}

qint64 Snapshot::rowId(int row) const
{
    d->checkRow(row);
    return d->keys[static_cast<size_t>(row)];
}

int Snapshot::findRow(qint64 rowId) const
{
    if (!d->translation.hasRowIdentity)
        return -1;
    auto found = std::find(d->keys.begin(), d->keys.end(), rowId);
    if (found == d->keys.end() && d->listing) {
        // The list goes up the keys: no further than the key sought.
        const auto listedBefore = static_cast<std::ptrdiff_t>(d->keys.size());
        while (d->listing && d->listedAfter < rowId)
            d->listStep(Data::listStepRows);
        found = std::find(d->keys.begin() + listedBefore, d->keys.end(), rowId);
    }
    return found == d->keys.end() ? -1 : static_cast<int>(found - d->keys.begin());
}

bool Snapshot::isUpdatable() const
{
    return d->translation.hasRowIdentity;
}

void Snapshot::updateRow(int row, const Values& changes)
{
    d->requireUpdatable();
    d->checkRow(row);
    const qint64 key = d->keys[static_cast<size_t>(row)];
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
    if (const auto tries = d->unconfirmed.find(key); tries != d->unconfirmed.end())
        for (const std::map<int, QVariant>& earlier : tries->second)
            for (const auto& entry : earlier)
                columns.insert(entry.first);
    std::vector<QVariant> stored;
    try {
        stored = d->backend->updateRow(d->write(), key, values, d->expectedStates(row, columns));
    } catch (const ServerUnreachable&) {
        d->unconfirmed[key].push_back(values);
        throw;
    }
    d->unconfirmed.erase(key);
    d->store(row, stored);
}

void Snapshot::insertRow(int position, const Values& values)
{
    d->requireUpdatable();
    if (position > 0)
        d->listTo(position - 1);
    if (position < 0 || position > listedRows())
        throw EngineError(
            QStringLiteral("Row %1 is outside the %2 rows of the result.").arg(position).arg(listedRows()));
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
    d->keys.insert(d->keys.begin() + position, rowId);
    if (d->listing)
        d->insertedWhileListing.insert(rowId);
    if (!d->paged) {
        d->order.insert(d->order.begin() + position, d->rows.add(cells));
        return;
    }
    // The new row is the record kept, on a page of its own: it becomes the current one.
    d->dropPagesFrom(position);
    auto page = std::make_shared<Page>();
    page->first = position;
    page->count = 1;
    page->id = d->nextId++;
    page->rows = PackedRows(d->columns, 1024);
    page->slotAt = {page->rows.add(cells)};
    d->kept = {rowId, std::move(page), 0};
}

void Snapshot::deleteRow(int row)
{
    d->requireUpdatable();
    d->checkRow(row);
    const qint64 key = d->keys[static_cast<size_t>(row)];
    // Refused, as an update is, when someone else changed or deleted the row since it was read.
    const std::set<int> columns(d->tableColumns.begin(), d->tableColumns.end());
    d->backend->deleteRow(d->write(), key, d->expectedStates(row, columns));
    d->unconfirmed.erase(key);
    d->keys.erase(d->keys.begin() + row);
    if (!d->paged) {
        const int slot = d->order[static_cast<size_t>(row)];
        d->rows.clear(slot);
        d->decoded.refresh(d->rows, slot, slot);
        d->order.erase(d->order.begin() + row);
        return;
    }
    if (d->kept.key == key)
        d->kept = {};
    d->dropPagesFrom(row);
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
    // The rows read again are told as a whole, not step by step from the start.
    fresh->listed = d->listed;
    d = std::move(fresh);
}
