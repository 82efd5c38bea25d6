#include "databind/controls/DataGrid.h"

#include "engine/ServerWait.h"

#include "databind/ActiveRowScope.h"
#include "databind/Field.h"
#include "databind/RecordSet.h"
#include "databind/controls/DeleteConfirmation.h"
#include "engine/ServerWait.h"
#include "platform/ErrorReporter.h"

#include <QAbstractItemDelegate>
#include <QAbstractTableModel>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>

namespace {

constexpr int indicatorWidth = 12;

bool isNumeric(const Field* field)
{
    return field && (field->kind() == FieldKind::Integer || field->kind() == FieldKind::Float ||
                     field->kind() == FieldKind::AutoIncrement);
}

} // namespace

// The set as rows and columns, read in place: nothing is copied, and only what the view asks for is read.
class DataGrid::Model : public QAbstractTableModel
{
public:
    explicit Model(DataGrid& grid) : QAbstractTableModel(&grid), m_grid(grid) {}

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_grid.m_shownRows; }
    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : m_grid.dataColumnCount();
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        Field* field = m_grid.columnField(index.column());
        RecordSet* set = m_grid.recordSet();
        if (!field || set->isEmpty())
            return QString();
        ActiveRowScope row(*set, index.row());
        return field->displayText();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section >= m_grid.dataColumnCount())
            return {};
        const Field* field = m_grid.columnField(section);
        return field ? field->displayLabel() : m_grid.dataColumn(section).fieldName;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
    }

    void reset()
    {
        beginResetModel();
        endResetModel();
    }
    void insertRow(int row)
    {
        beginInsertRows({}, row, row);
        ++m_grid.m_shownRows;
        endInsertRows();
    }
    void appendRows(int count)
    {
        beginInsertRows({}, m_grid.m_shownRows, m_grid.m_shownRows + count - 1);
        m_grid.m_shownRows += count;
        endInsertRows();
    }
    void removeRow(int row)
    {
        beginRemoveRows({}, row, row);
        --m_grid.m_shownRows;
        endRemoveRows();
    }
    void titlesChanged() { emit headerDataChanged(Qt::Horizontal, 0, std::max(0, m_grid.dataColumnCount() - 1)); }

private:
    DataGrid& m_grid;
};

class DataGrid::CellDelegate : public QAbstractItemDelegate
{
public:
    explicit CellDelegate(DataGrid& grid) : QAbstractItemDelegate(&grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        m_grid.paintDataCell(*painter, option.rect, index.row(), index.column());
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override { return option.rect.size(); }

private:
    DataGrid& m_grid;
};

// The fixed column at the left: one marker on the current row for browse, edit and insert state.
class DataGrid::Indicator : public QHeaderView
{
public:
    explicit Indicator(DataGrid& grid) : QHeaderView(Qt::Vertical, &grid), m_grid(grid)
    {
        setSectionResizeMode(QHeaderView::Fixed);
        setSectionsClickable(false);
        setHighlightSections(false);
    }

    QSize sizeHint() const override { return QSize(indicatorWidth, QHeaderView::sizeHint().height()); }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        painter->fillRect(rect, palette().color(QPalette::Button));
        painter->setPen(palette().color(QPalette::Mid));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        const RecordSet* set = m_grid.recordSet();
        if (!set || !set->isOpen() || logicalIndex != m_grid.currentRow())
            return;
        if (set->isEmpty() && set->state() != RecordSet::State::Insert)
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QPointF centre = QRectF(rect).center();
        const QColor ink = palette().color(QPalette::ButtonText);
        switch (set->state()) {
        case RecordSet::State::Browse: {
            QPainterPath arrow;
            arrow.moveTo(centre.x() - 2, centre.y() - 4);
            arrow.lineTo(centre.x() + 2, centre.y());
            arrow.lineTo(centre.x() - 2, centre.y() + 4);
            arrow.closeSubpath();
            painter->fillPath(arrow, ink);
            break;
        }
        case RecordSet::State::Edit: // an I-beam
            painter->setPen(QPen(ink, 1));
            painter->drawLine(QPointF(centre.x(), centre.y() - 4), QPointF(centre.x(), centre.y() + 4));
            painter->drawLine(QPointF(centre.x() - 2, centre.y() - 4), QPointF(centre.x() + 2, centre.y() - 4));
            painter->drawLine(QPointF(centre.x() - 2, centre.y() + 4), QPointF(centre.x() + 2, centre.y() + 4));
            break;
        case RecordSet::State::Insert: // an asterisk
            painter->setPen(QPen(ink, 1.2));
            for (int i = 0; i < 3; ++i) {
                painter->save();
                painter->translate(centre);
                painter->rotate(60.0 * i);
                painter->drawLine(QPointF(0, -3.5), QPointF(0, 3.5));
                painter->restore();
            }
            break;
        case RecordSet::State::Inactive:
            break;
        }
        painter->restore();
    }

private:
    DataGrid& m_grid;
};

DataGrid::DataGrid(QWidget* parent)
    : QTableView(parent), m_link(*this), m_model(new Model(*this)), m_delegate(new CellDelegate(*this))
{
    setVerticalHeader(new Indicator(*this));
    setModel(m_model);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int) {
        if (!m_sizingColumns && section < dataColumnCount())
            m_columns[static_cast<std::size_t>(section)].userWidth = horizontalHeader()->sectionSize(section);
    });
    applyRowHeight();
}

DataGrid::~DataGrid() = default;

void DataGrid::setColumns(const QStringList& fieldNames)
{
    m_columnNames = fieldNames;
    m_columns.clear();
    rebuild();
}

void DataGrid::setRowSelect(bool rowSelect)
{
    m_rowSelect = rowSelect;
    viewport()->update();
}

void DataGrid::setAlwaysShowSelection(bool always)
{
    m_alwaysShowSelection = always;
    viewport()->update();
}

bool DataGrid::titlesVisible() const
{
    return !horizontalHeader()->isHidden();
}

void DataGrid::setTitlesVisible(bool visible)
{
    horizontalHeader()->setVisible(visible);
    applyColumnWidths();
}

Field* DataGrid::columnField(int index) const
{
    return isOpen() ? dataColumn(index).field : nullptr;
}

bool DataGrid::isOpen() const
{
    const RecordSet* set = recordSet();
    return set && set->isOpen();
}

int DataGrid::shownRowCount() const
{
    // An empty or closed set still shows one blank row.
    const RecordSet* set = recordSet();
    return set && set->isOpen() && !set->isEmpty() ? set->listedCount() : 1;
}

int DataGrid::currentRow() const
{
    const RecordSet* set = recordSet();
    return set && set->isOpen() && set->recNo() >= 0 ? set->recNo() : 0;
}

int DataGrid::visibleRowCount() const
{
    const int height = verticalHeader()->defaultSectionSize();
    return std::max(1, height > 0 ? viewport()->height() / height : 1);
}

int DataGrid::topRow() const
{
    return std::max(0, rowAt(0));
}

int DataGrid::bottomRow() const
{
    return std::min(topRow() + visibleRowCount(), m_shownRows) - 1;
}

void DataGrid::rebuild()
{
    // The columns are found again in the set; a width the user gave a column stays with its field name.
    const std::vector<DataGridColumn> previous = std::move(m_columns);
    const auto userWidth = [&previous](const QString& name) {
        for (const DataGridColumn& column : previous) {
            if (column.fieldName.compare(name, Qt::CaseInsensitive) == 0)
                return column.userWidth;
        }
        return 0;
    };
    m_columns.clear();
    const RecordSet* set = recordSet();
    const bool open = set && set->isOpen();
    if (m_columnNames.isEmpty()) {
        for (int i = 0; open && i < set->fieldCount(); ++i) {
            const QString& name = set->field(i)->fieldName();
            m_columns.push_back({name, set->field(i), userWidth(name)});
        }
    } else {
        for (const QString& name : m_columnNames)
            m_columns.push_back({name, open ? set->findField(name) : nullptr, userWidth(name)});
    }
    m_currentColumn = std::clamp(m_currentColumn, 0, std::max(0, dataColumnCount() - 1));
    m_shownRows = shownRowCount();
    m_readAheadFailed = false;
    m_listingFailed = false;
    m_model->reset();
    applyColumnWidths();
    followCurrent();
    listRest(firstListStepDelay);
}

void DataGrid::refreshRows()
{
    m_readAheadFailed = false;
    m_listingFailed = false;
    // An insert or a removal changes one row at the current record; anything else is read again in place.
    const int rows = shownRowCount();
    const int current = currentRow();
    if (rows == m_shownRows + 1)
        m_model->insertRow(std::min(current, m_shownRows));
    else if (rows == m_shownRows - 1)
        m_model->removeRow(std::min(current, rows));
    else if (rows != m_shownRows) {
        m_shownRows = rows;
        m_model->reset();
    }
    followCurrent();
    listRest();
}

void DataGrid::addListedRows(int first, int count)
{
    // Rows added after those shown; a list that showed as empty (one blank row) is shown anew.
    const int rows = shownRowCount();
    if (first > 0 && rows == m_shownRows + count) {
        m_model->appendRows(count);
    } else if (rows != m_shownRows) {
        m_shownRows = rows;
        m_model->reset();
        followCurrent();
    }
}

void DataGrid::listRest(int delay)
{
    const RecordSet* set = recordSet();
    if (m_listStepQueued || m_listingFailed || !set || !set->isOpen() || !set->isListing())
        return;
    m_listStepQueued = true;
    QTimer::singleShot(delay, this, &DataGrid::listStep);
}

void DataGrid::listStep()
{
    m_listStepQueued = false;
    RecordSet* set = recordSet();
    if (!set || !set->isOpen())
        return;
    // Set while the failure is told, so that no step is queued meanwhile.
    m_listingFailed = true;
    if (!ErrorReporter::guarded([set] { set->listMore(); }))
        return;
    m_listingFailed = false;
    listRest();
}

void DataGrid::followCurrent()
{
    const int row = currentRow();
    const int top = topRow();
    const int visible = visibleRowCount();
    if (row < top)
        verticalScrollBar()->setValue(row);
    else if (row >= top + visible)
        verticalScrollBar()->setValue(row - visible + 1);
    viewport()->update();
    verticalHeader()->viewport()->update();
}

void DataGrid::applyRowHeight()
{
    const int height = fontMetrics().height() + 3 + (showGrid() ? 1 : 0);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(height);
}

int DataGrid::defaultColumnWidth(int dataColumn) const
{
    const Field* field = columnField(dataColumn);
    if (!field)
        return horizontalHeader()->defaultSectionSize();
    // The font's overhang is 0 for the outline fonts Qt draws with.
    int width = field->displayWidth() * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 4;
    if (titlesVisible())
        width = std::max(width, horizontalHeader()->fontMetrics().horizontalAdvance(field->displayLabel()) + 4);
    return width;
}

void DataGrid::applyColumnWidths()
{
    QScopedValueRollback sizing(m_sizingColumns, true);
    for (int i = 0; i < dataColumnCount(); ++i) {
        const int userWidth = dataColumn(i).userWidth;
        horizontalHeader()->resizeSection(i, userWidth > 0 ? userWidth : defaultColumnWidth(i));
    }
}

void DataGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        applyRowHeight();
        applyColumnWidths();
    }
}

void DataGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    followCurrent();
}

void DataGrid::paintDataCell(QPainter& painter, const QRect& rect, int row, int dataColumn)
{
    const bool current = row == currentRow();
    DrawState state;
    if (current && (m_rowSelect || dataColumn == m_currentColumn))
        state |= Selected;
    if (current && dataColumn == m_currentColumn && hasFocus())
        state |= Focused;
    const bool highlighted = (state & Selected) && (hasFocus() || m_alwaysShowSelection);
    m_cellBackground = palette().color(highlighted ? QPalette::Highlight : QPalette::Base);
    if (!isEnabled())
        m_cellText = palette().color(QPalette::Disabled, QPalette::Text);
    else
        m_cellText = palette().color(highlighted ? QPalette::HighlightedText : QPalette::Text);

    RecordSet* set = recordSet();
    if (!set || !set->isOpen()) {
        painter.fillRect(rect, m_cellBackground);
        return;
    }
    QScopedValueRollback canvas(m_canvas, &painter);
    ActiveRowScope positioned(*set, set->isEmpty() ? -1 : row);
    const DataGridColumn& column = this->dataColumn(dataColumn);
    defaultDrawColumnCell(rect, dataColumn, column, state);
    if (m_drawColumnCell)
        m_drawColumnCell(rect, dataColumn, column, state);
}

void DataGrid::defaultDrawColumnCell(const QRect& rect, int, const DataGridColumn& column, DrawState)
{
    if (!m_canvas)
        return;
    QPainter& painter = *m_canvas;
    painter.fillRect(rect, m_cellBackground);
    const RecordSet* set = recordSet();
    if (!column.field || !set || !set->isOpen() || set->isEmpty())
        return;
    const QString text = column.field->displayText();
    if (text.isEmpty())
        return;
    painter.save();
    painter.setClipRect(rect);
    painter.setFont(font());
    painter.setPen(m_cellText);
    const QRect textRect = rect.adjusted(2, 2, -3, 0);
    const Qt::Alignment align = (isNumeric(column.field) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop;
    painter.drawText(textRect, int(align) | Qt::TextSingleLine, text);
    painter.restore();
}

void DataGrid::paintEvent(QPaintEvent* event)
{
    // The rows in view are read before painting starts; during a wait on the server they can't be, and are painted
    // once it has ended. A failure is told after the paint, once; painting itself reads only what is held.
    RecordSet* set = recordSet();
    if (set && set->isOpen() && !m_readAheadFailed) {
        try {
            if (!set->readAhead(topRow(), visibleRowCount() + 1))
                ServerWait::whenIdle(this, [this] { viewport()->update(); });
        } catch (const std::exception&) {
            m_readAheadFailed = true;
            QTimer::singleShot(0, this, [error = std::current_exception()] {
                ErrorReporter::guarded([&error] { std::rethrow_exception(error); });
            });
        }
    }
    {
        const RecordSet::HeldRowsOnly heldOnly(set);
        QTableView::paintEvent(event);
    }
    if (!m_rowSelect || !hasFocus() || dataColumnCount() == 0)
        return;
    // The dotted focus frame around the current row goes on top of everything.
    const int row = currentRow();
    const QRect frame = visualRect(m_model->index(row, 0))
                            .united(visualRect(m_model->index(row, dataColumnCount() - 1)))
                            .adjusted(0, 0, -1, -1);
    if (!frame.intersects(viewport()->rect()))
        return;
    QPainter painter(viewport());
    QPen pen(palette().color(QPalette::HighlightedText));
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(frame);
}

void DataGrid::moveToRow(int row)
{
    RecordSet* set = recordSet();
    if (row != set->recNo())
        set->moveBy(row - set->recNo());
}

void DataGrid::stepUp()
{
    RecordSet* set = recordSet();
    if (set->state() == RecordSet::State::Insert && !set->isModified() && set->atEnd())
        set->cancel();
    else
        set->moveBy(-1);
}

void DataGrid::stepDown()
{
    RecordSet* set = recordSet();
    if (set->state() == RecordSet::State::Insert && !set->isModified()) {
        if (!set->atEnd())
            set->cancel();
    } else {
        set->moveBy(1);
    }
}

void DataGrid::deleteRecord()
{
    RecordSet* set = recordSet();
    if (m_readOnly || set->isEmpty() || !set->canModify())
        return;
    if (DeleteConfirmation::confirm(this))
        set->remove();
}

void DataGrid::keyPressEvent(QKeyEvent* event)
{
    if (!isOpen()) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    ErrorReporter::guarded([&] { keyMove(event); });
}

void DataGrid::keyMove(QKeyEvent* event)
{
    RecordSet* set = recordSet();
    const bool control = event->modifiers() & Qt::ControlModifier;
    const bool wholeRows = m_rowSelect || dataColumnCount() <= 1;
    const int lastColumn = std::max(0, dataColumnCount() - 1);
    switch (event->key()) {
    case Qt::Key_Up:
        control ? moveToRow(topRow()) : stepUp();
        break;
    case Qt::Key_Down:
        control ? moveToRow(bottomRow()) : stepDown();
        break;
    case Qt::Key_PageUp:
        control ? moveToRow(topRow()) : void(set->moveBy(-visibleRowCount()));
        break;
    case Qt::Key_PageDown:
        control ? moveToRow(bottomRow()) : void(set->moveBy(visibleRowCount()));
        break;
    case Qt::Key_Left:
        if (m_rowSelect)
            stepUp();
        else if (m_currentColumn > 0)
            --m_currentColumn;
        break;
    case Qt::Key_Right:
        if (m_rowSelect)
            stepDown();
        else if (m_currentColumn < lastColumn)
            ++m_currentColumn;
        break;
    case Qt::Key_Home:
        if (control || wholeRows)
            set->first();
        else
            m_currentColumn = 0;
        break;
    case Qt::Key_End:
        if (control || wholeRows)
            set->last();
        else
            m_currentColumn = lastColumn;
        break;
    case Qt::Key_Tab:
        if (!tabKeyNavigation()) {
            event->ignore();
            return;
        }
        if (!m_rowSelect && m_currentColumn < lastColumn) {
            ++m_currentColumn;
        } else if (set->moveBy(1) != 0) {
            m_currentColumn = 0;
        }
        break;
    case Qt::Key_Backtab:
        if (!tabKeyNavigation()) {
            event->ignore();
            return;
        }
        if (!m_rowSelect && m_currentColumn > 0) {
            --m_currentColumn;
        } else if (set->moveBy(-1) != 0) {
            m_currentColumn = m_rowSelect ? 0 : lastColumn;
        }
        break;
    case Qt::Key_Escape:
        if (set->isEditing())
            set->cancel();
        break;
    case Qt::Key_Delete:
        if (control)
            deleteRecord();
        else
            event->ignore();
        break;
    default:
        event->ignore();
        return;
    }
    followCurrent();
}

void DataGrid::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    // Taking the focus came first; a control that failed to write its change back kept it, and the click is void.
    if (!hasFocus() || !isOpen() || event->button() != Qt::LeftButton)
        return;
    const QPoint position = event->position().toPoint();
    const int row = rowAt(position.y());
    const int column = columnAt(position.x());
    if (row < 0)
        return;
    if (!m_rowSelect && column >= 0)
        m_currentColumn = column;
    ErrorReporter::guarded([&] {
        if (!recordSet()->isEmpty())
            moveToRow(row);
    });
    followCurrent();
}

void DataGrid::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void DataGrid::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void DataGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    m_entered = true;
    viewport()->update();
}

void DataGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason || !m_entered)
        return;
    m_entered = false;
    // Leaving a new record nobody has touched drops it; nothing else is written, the grid having no cell edit.
    RecordSet* set = recordSet();
    if (set && set->state() == RecordSet::State::Insert && !set->isModified())
        ErrorReporter::guarded([set] { set->cancel(); });
}
