#include "ControlTest.h"
#include "databind/Field.h"
#include "databind/RecordSet.h"
#include "databind/controls/BoundEdit.h"
#include "databind/controls/DataGrid.h"

#include <QHeaderView>

#include <sqlite3.h>

namespace {

class GridBehaviour : public ControlTest
{
protected:
    // DBGrid1 as the main window has it: read-only, whole rows, columns job and vip; EdJob beside it.
    RecordSet& bind(int rows)
    {
        for (int i = 0; i < rows; ++i)
            addJob(QStringLiteral("дело %1").arg(i), {{"vip", i % 2 == 1}});
        RecordSet& q = allJobs();
        grid = new DataGrid(&window);
        grid->setObjectName("DBGrid1");
        grid->setReadOnly(true);
        grid->setRowSelect(true);
        grid->setColumns({"job", "vip"});
        grid->setDataSource(&module().SQJob);
        grid->setGeometry(0, 0, 400, 200);
        grid->horizontalHeader()->resizeSection(0, 150); // both columns on the screen
        job = new BoundEdit(&window);
        job->setObjectName("EdJob");
        job->setDataSource(&module().SQJob);
        job->setDataField("job");
        job->setGeometry(0, 220, 200, 24);
        showWindow();
        focus(grid);
        return q;
    }

    void click(int row)
    {
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(cell.left() + 5, cell.center().y()));
    }

    int shownRows() const { return grid->model()->rowCount(); }

    DataGrid* grid = nullptr;
    BoundEdit* job = nullptr;
};

struct Painted
{
    QString job;
    int row;
    int dataColumn;
    DataGrid::DrawState state;
};

} // namespace

TEST_F(GridBehaviour, RowsTitlesAndWidthsFollowTheSet)
{
    RecordSet& q = bind(0);
    EXPECT_EQ(shownRows(), 1); // an empty set still shows one blank row
    q.close();
    EXPECT_EQ(shownRows(), 1);
    addJob("a");
    addJob("b");
    q.open();
    EXPECT_EQ(shownRows(), 2);
    q.insert();
    EXPECT_EQ(shownRows(), 3);
    q.cancel();
    EXPECT_EQ(shownRows(), 2);

    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Задание"));
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("vip"));
    const int digit = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    grid->setColumns({"job", "vip"}); // forgets the width the fixture set as a user would
    EXPECT_EQ(grid->columnWidth(0), 150 * digit + 4);
    const int title = grid->horizontalHeader()->fontMetrics().horizontalAdvance(QStringLiteral("vip")) + 4;
    EXPECT_EQ(grid->columnWidth(1), std::max(5 * digit + 4, title));
    EXPECT_EQ(grid->model()->data(grid->model()->index(1, 1)).toString(), QStringLiteral("False"));

    grid->horizontalHeader()->resizeSection(0, 77); // the user's width survives re-opening
    q.close();
    q.open();
    EXPECT_EQ(grid->columnWidth(0), 77);
}

TEST_F(GridBehaviour, KeysMoveTheCurrentRecord)
{
    const struct
    {
        const char* name;
        int start;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int expected;
    } cases[] = {
        {"Down", 3, Qt::Key_Down, Qt::NoModifier, 4},
        {"Up", 3, Qt::Key_Up, Qt::NoModifier, 2},
        {"Right acts as Down with whole rows", 3, Qt::Key_Right, Qt::NoModifier, 4},
        {"Left acts as Up with whole rows", 3, Qt::Key_Left, Qt::NoModifier, 2},
        {"Ctrl+End", 3, Qt::Key_End, Qt::ControlModifier, 29},
        {"Ctrl+Home", 3, Qt::Key_Home, Qt::ControlModifier, 0},
        {"End with whole rows", 3, Qt::Key_End, Qt::NoModifier, 29},
        {"Home with whole rows", 3, Qt::Key_Home, Qt::NoModifier, 0},
        {"Down at the end", 29, Qt::Key_Down, Qt::NoModifier, 29},
        {"Ctrl+Up to the top visible row", 3, Qt::Key_Up, Qt::ControlModifier, 0},
        {"Ctrl+PgUp to the top visible row", 3, Qt::Key_PageUp, Qt::ControlModifier, 0},
    };
    RecordSet& q = bind(30);
    for (const auto& c : cases) {
        q.first();
        q.moveBy(c.start);
        QTest::keyClick(grid, c.key, c.modifiers);
        EXPECT_EQ(q.recNo(), c.expected) << c.name;
    }

    q.first();
    const int page = grid->visibleRowCount();
    ASSERT_GT(page, 2);
    ASSERT_LT(page, 29);
    QTest::keyClick(grid, Qt::Key_PageDown);
    EXPECT_EQ(q.recNo(), page);
    QTest::keyClick(grid, Qt::Key_PageUp);
    EXPECT_EQ(q.recNo(), 0);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(q.recNo(), page - 1);
}

TEST_F(GridBehaviour, DownAndUpDropAnUntouchedInsert)
{
    RecordSet& q = bind(5);
    q.moveBy(2);
    q.insert();
    QTest::keyClick(grid, Qt::Key_Down); // cancels without moving
    EXPECT_EQ(q.state(), RecordSet::State::Browse);
    EXPECT_EQ(q.recNo(), 2);
    EXPECT_EQ(q.recordCount(), 5);

    q.last();
    q.insert(); // at-end stays set
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(q.state(), RecordSet::State::Insert);
    QTest::keyClick(grid, Qt::Key_Up); // at-end: cancels without moving
    EXPECT_EQ(q.state(), RecordSet::State::Browse);
    EXPECT_EQ(q.recNo(), 4);

    q.moveBy(-1);
    q.insert(); // not at-end: Up moves back and the browse check drops the insert
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(q.state(), RecordSet::State::Browse);
    EXPECT_EQ(q.recordCount(), 5);
    EXPECT_EQ(q.recNo(), 2);

    q.insert();
    q.fieldByName("job").setText("тронута");
    QTest::keyClick(grid, Qt::Key_Down); // a changed insert is posted by the move
    EXPECT_EQ(diary.rowCount(), 6);
}

TEST_F(GridBehaviour, EscCancelsTheEditAndLeavingDropsAnUntouchedInsert)
{
    RecordSet& q = bind(2);
    q.edit();
    q.fieldByName("job").setText("изменено");
    QTest::keyClick(grid, Qt::Key_Escape);
    EXPECT_EQ(q.state(), RecordSet::State::Browse);
    EXPECT_EQ(q.fieldByName("job").asString(), QStringLiteral("дело 0"));

    q.insert(); // the navigator's insert leaves the focus in the grid
    focus(job);
    EXPECT_EQ(q.state(), RecordSet::State::Browse);
    EXPECT_EQ(q.recordCount(), 2);
    type(job, "x"); // typing edits the record current again
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
}

TEST_F(GridBehaviour, ClickMovesByTheRowDifferenceUnlessTheControlLeftKeepsTheFocus)
{
    RecordSet& q = bind(6);
    click(3);
    EXPECT_EQ(q.recNo(), 3);
    click(3);
    EXPECT_EQ(q.recNo(), 3);

    auto* date = new BoundEdit(&window);
    date->setObjectName("EdDateIsp");
    date->setDataSource(&module().SQJob);
    date->setDataField("date_isp");
    date->setGeometry(0, 250, 100, 24);
    date->show();
    focus(date);
    type(date, "31.02.2026");
    click(1);
    EXPECT_EQ(shownTexts(), QStringList{"'31.02.2026' is not a valid date and time."});
    EXPECT_TRUE(date->hasFocus());
    EXPECT_EQ(q.recNo(), 3);
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
}

TEST_F(GridBehaviour, CtrlDeleteOnlyInAGridThatMayDelete)
{
    RecordSet& q = bind(3);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(shownTexts().isEmpty());
    EXPECT_EQ(diary.rowCount(), 3);

    grid->setReadOnly(false);
    ScriptedMessageBoxes::instance().setNextAnswer(MessageBoxes::Answer::Cancel);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(shownTexts(), QStringList{"Delete record?"});
    EXPECT_EQ(diary.rowCount(), 3);

    ScriptedMessageBoxes::instance().setNextAnswer(MessageBoxes::Answer::Ok);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(diary.rowCount(), 2);
    EXPECT_EQ(q.fieldByName("job").asString(), QStringLiteral("дело 1"));

    q.setReadOnly(true);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(shownTexts().size(), 2);
}

TEST_F(GridBehaviour, HookReadsThePaintedRowWithItsDrawState)
{
    RecordSet& q = bind(4);
    q.moveBy(1);
    std::vector<Painted> painted;
    grid->setDrawColumnCell(
        [&](const QRect& rect, int dataColumn, const DataGridColumn& column, DataGrid::DrawState state) {
            EXPECT_EQ(column.fieldName, dataColumn == 0 ? QStringLiteral("job") : QStringLiteral("vip"));
            painted.push_back({q.fieldByName("job").asString(), grid->rowAt(rect.center().y()), dataColumn, state});
        });
    grid->viewport()->repaint();
    ASSERT_EQ(painted.size(), 8u);
    int focused = 0;
    for (const Painted& p : painted) {
        EXPECT_EQ(p.job, QStringLiteral("дело %1").arg(p.row));
        EXPECT_EQ(bool(p.state & DataGrid::Selected), p.row == 1) << p.row;
        EXPECT_FALSE(p.state & DataGrid::Fixed);
        if (p.state & DataGrid::Focused) {
            ++focused;
            EXPECT_EQ(p.row, 1);
        }
    }
    EXPECT_EQ(focused, 1);
    EXPECT_EQ(q.recNo(), 1); // the set is back on its current record

    focus(job);
    painted.clear();
    grid->viewport()->repaint();
    for (const Painted& p : painted)
        EXPECT_FALSE(p.state & DataGrid::Focused);

    q.close();
    painted.clear();
    grid->viewport()->repaint();
    EXPECT_TRUE(painted.empty());
}

TEST_F(GridBehaviour, HookColoursTheCellThroughTheDefaultDrawing)
{
    RecordSet& q = bind(2);
    focus(job);
    const QColor green(9, 255, 171);
    grid->setDrawColumnCell(
        [&](const QRect& rect, int dataColumn, const DataGridColumn& column, DataGrid::DrawState state) {
            if (q.fieldByName("vip").asBoolean())
                return;
            grid->setCellBackground(green);
            grid->defaultDrawColumnCell(rect, dataColumn, column, state);
        });
    const QImage image = grid->viewport()->grab().toImage();
    const QRect notDone = grid->visualRect(grid->model()->index(0, 1));
    const QRect done = grid->visualRect(grid->model()->index(1, 1));
    EXPECT_EQ(image.pixelColor(notDone.right() - 2, notDone.bottom() - 1), green);
    EXPECT_EQ(image.pixelColor(done.right() - 2, done.bottom() - 1), grid->palette().color(QPalette::Base));
}

TEST_F(GridBehaviour, PaintsOnlyTheVisibleRows)
{
    bind(60);
    int calls = 0;
    grid->setDrawColumnCell([&](const QRect&, int, const DataGridColumn&, DataGrid::DrawState) { ++calls; });
    grid->viewport()->repaint();
    EXPECT_GT(calls, 0);
    EXPECT_LE(calls, 2 * (grid->visibleRowCount() + 1));
}

// A long list shows a screen's rows at once and grows between events until it is whole, also under an insert.
TEST_F(GridBehaviour, ALongListGrowsBetweenEventsUntilItIsWhole)
{
    constexpr int rows = 20000;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(diary.databasePath().toUtf8().constData(), &db), SQLITE_OK);
    const int added = sqlite3_exec(db,
                                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                                   "INSERT INTO job (job, period) SELECT 'дело ' || i, 'ежедневное' FROM n",
                                   nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(added, SQLITE_OK);
    RecordSet& q = bind(0);
    ASSERT_TRUE(q.isListing());
    EXPECT_LT(shownRows(), rows);
    q.insert();
    EXPECT_EQ(shownRows(), q.listedCount());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !q.isListing(); }, 10000));
    EXPECT_EQ(shownRows(), rows + 1);
    q.cancel();
    EXPECT_EQ(shownRows(), rows);
    q.last();
    EXPECT_EQ(q.recNo(), rows - 1);
}

// The reminder window's grid keeps Tab: it moves to the next and previous record instead of the next control.
TEST_F(GridBehaviour, TabMovesRowsOnlyWhereTheGridKeepsIt)
{
    RecordSet& q = bind(3);
    grid->setRowSelect(false);
    grid->setColumns({"job"});
    grid->setTabKeyNavigation(true);
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(q.recNo(), 1);
    EXPECT_TRUE(grid->hasFocus());
    QTest::keyClick(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(q.recNo(), 0);

    grid->setTabKeyNavigation(false);
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(q.recNo(), 0);
    EXPECT_FALSE(grid->hasFocus());
}
