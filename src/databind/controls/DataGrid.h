#pragma once

#include "databind/DataLink.h"
#include "databind/controls/DataGridColumn.h"

#include <QColor>
#include <QStringList>
#include <QTableView>

#include <functional>
#include <vector>

class QPainter;
class RecordSet;

// A grid showing one row per record of a data source's set, with an indicator column marking the current record
// and its state. It never edits cells or inserts: it moves through the set (every move through the set's browse
// check), cancels an untouched insert, and deletes with Ctrl+Delete after confirmation unless read-only.
// It reads the set in place and paints only the rows on the screen.
class DataGrid : public QTableView
{
    Q_OBJECT

public:
    enum DrawStateFlag { Selected = 1, Focused = 2, Fixed = 4 };
    Q_DECLARE_FLAGS(DrawState, DrawStateFlag)

    // The own-draw hook: called for every data cell painted while the set is open, after the default drawing,
    // with the set positioned on the cell's row. It may set the cell background and draw the cell again with
    // defaultDrawColumnCell().
    using DrawColumnCell =
        std::function<void(const QRect& rect, int dataColumn, const DataGridColumn& column, DrawState state)>;

    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    DataSource* dataSource() const { return m_link.dataSource(); }
    // Re-points the grid; its rows are rebuilt from the new set. The old set is left as it is.
    void setDataSource(DataSource* source) { m_link.setDataSource(source); }
    RecordSet* recordSet() const { return m_link.recordSet(); }

    // The fields shown, in order; none: every field of the set.
    void setColumns(const QStringList& fieldNames);
    int dataColumnCount() const { return static_cast<int>(m_columns.size()); }
    const DataGridColumn& dataColumn(int index) const { return m_columns[static_cast<std::size_t>(index)]; }
    // The column's field while the set is open; nullptr otherwise, also once the source or the set is gone.
    Field* columnField(int index) const;

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void setRowSelect(bool rowSelect);
    void setAlwaysShowSelection(bool always);
    bool titlesVisible() const;
    void setTitlesVisible(bool visible);

    void setDrawColumnCell(DrawColumnCell hook) { m_drawColumnCell = std::move(hook); }
    // While a cell is being painted: the background the default drawing fills it with.
    void setCellBackground(const QColor& color) { m_cellBackground = color; }
    // Fills rect with the cell background and writes the column's display text 2 pixels in from the left and
    // top (numbers end 3 pixels from the right). Does nothing outside painting.
    void defaultDrawColumnCell(const QRect& rect, int dataColumn, const DataGridColumn& column, DrawState state);

    // The row of the current record on the grid; 0 for the blank row of an empty or closed set.
    int currentRow() const;
    // Rows wholly visible in the grid, at least one.
    int visibleRowCount() const;
    // The width a column gets from its field until the user resizes it.
    int defaultColumnWidth(int dataColumn) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Model;
    class CellDelegate;
    class Indicator;

    class Link : public DataLink
    {
    public:
        explicit Link(DataGrid& grid) : m_grid(grid) {}
        void activeChanged() override { m_grid.rebuild(); }
        void stateChanged() override { m_grid.refreshRows(); }
        void dataSetChanged() override { m_grid.refreshRows(); }
        void recordMoved(int) override { m_grid.followCurrent(); }
        void recordChanged(Field*) override { m_grid.viewport()->update(); }
        void rowsListed(int first, int count) override { m_grid.addListedRows(first, count); }

    private:
        DataGrid& m_grid;
    };

    bool isOpen() const;
    int shownRowCount() const;
    void rebuild();
    void refreshRows();
    void addListedRows(int first, int count);
    // A list newly shown is listed on from a moment later, once the window's first paints and the window manager's
    // answers are through; its later steps come one pass of the event loop apart.
    static constexpr int firstListStepDelay = 100;
    void listRest(int delay = 0);
    void listStep();
    void followCurrent();
    void applyRowHeight();
    void applyColumnWidths();
    void paintDataCell(QPainter& painter, const QRect& rect, int row, int dataColumn);
    void keyMove(QKeyEvent* event);
    void moveToRow(int row);
    void stepUp();
    void stepDown();
    void deleteRecord();
    int topRow() const;
    int bottomRow() const;

    Link m_link;
    Model* m_model;           // owned as a child
    CellDelegate* m_delegate; // owned as a child
    std::vector<DataGridColumn> m_columns;
    QStringList m_columnNames;
    DrawColumnCell m_drawColumnCell;
    bool m_readOnly = false;
    bool m_rowSelect = false;
    bool m_alwaysShowSelection = false;
    // Reading the rows in view failed (the server went away): they show empty, and are not asked for again at every
    // paint, until the set's rows change.
    bool m_readAheadFailed = false;
    // A list read in steps is read on, a step at a time between events, once it is shown: the scroll bar grows as
    // it goes. Stops for good on a failure, which is told once (the rest is read when a row further on is reached).
    bool m_listStepQueued = false;
    bool m_listingFailed = false;
    bool m_entered = false;
    bool m_sizingColumns = false;
    int m_currentColumn = 0;
    int m_shownRows = 1;
    QPainter* m_canvas = nullptr;
    QColor m_cellBackground;
    QColor m_cellText;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(DataGrid::DrawState)
