#include "databind/controls/BoundComboBox.h"
#include "databind/controls/BoundEdit.h"
#include "databind/controls/DataGrid.h"
#include "diary/UnitDM.h"
#include "base/Error.h"
#include "support/FixedClock.h"
#include "support/Program.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"
#include "units/DatePicker.h"
#include "units/UnitMain.h"
#include "units/UnitShedul.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

const QDateTime moment(QDate(2026, 12, 7), QTime(10, 30, 15));

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override { ScriptedMessageBoxes::instance().clear(); }

    void start()
    {
        program = std::make_unique<Program>(diary);
        program->showMainWindow();
    }

    TFormMain& form() { return program->singletons.mainWindow(); }
    RecordSet& list() { return program->singletons.dataModule().QJob; }

    void choose(const QString& node)
    {
        const auto found = form().Tree->findItems(node, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << node.toStdString();
        form().Tree->setCurrentItem(found.front());
    }

    // The descriptions the list shows, top to bottom.
    QStringList listed()
    {
        QStringList jobs;
        for (int row = 0; row < list().recordCount(); ++row) {
            const int previous = list().setActiveRow(row);
            jobs.append(list().fieldByName(QStringLiteral("job")).asString());
            list().setActiveRow(previous);
        }
        return jobs;
    }

    void typeInto(QWidget* control, const QString& text)
    {
        control->setFocus();
        QTRY_VERIFY(control->hasFocus());
        for (QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, control, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }

    qint64 add(const QString& job, const QVariant& period, const QDate& isp = QDate(2026, 12, 1), bool done = false)
    {
        return diary.addRow({{QStringLiteral("job"), job},
                             {QStringLiteral("period"), period},
                             {QStringLiteral("date_isp"), isp},
                             {QStringLiteral("vip"), done}});
    }

    FixedClock clock{moment};
    TempDiary diary;
    std::unique_ptr<Program> program;
};

} // namespace

TEST_F(MainWindowTest, CreationPutsTheIconInTheTrayAndBothDatePickersAtToday)
{
    TDataModule1 dataModule(diary.connectionString());
    TFormShedul reminderWindow(dataModule);
    QDialog settings;
    QDialog about;
    FakeTray tray;
    TFormMain alone(tray, dataModule, reminderWindow, settings, about, diary.folder());
    EXPECT_EQ(tray.calls(), QStringList{QStringLiteral("add")});
    EXPECT_EQ(alone.DTIsp->date(), moment.date());
    EXPECT_EQ(alone.DTShed_Date->date(), moment.date());
}

TEST_F(MainWindowTest, AMissingDatabaseStopsStartUpAndLeavesNoWindow)
{
    ASSERT_TRUE(QFile::remove(diary.databasePath()));
    FakeTray tray;
    try {
        Singletons singletons(diary.location(), tray);
        FAIL() << "start-up went on without a database";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.text(), QStringLiteral("Could not find file '%1'.").arg(diary.databasePath()));
    }
    EXPECT_TRUE(tray.calls().isEmpty()) << "a window was made before the diary opened";
    EXPECT_FALSE(QFile::exists(diary.databasePath()));
}

TEST_F(MainWindowTest, FirstActivationListsEveryEventButBirthdaysAndMemorableDates)
{
    add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    add(QStringLiteral("именинник"), QStringLiteral("День рождения"));
    add(QStringLiteral("памятное"), QStringLiteral("Памятная дата"));
    add(QStringLiteral("своё"), QStringLiteral("раз в жизни"));
    add(QStringLiteral("без периодичности"), QVariant());
    start();
    EXPECT_TRUE(form().Tree->hasFocus());
    EXPECT_EQ(form().Tree->currentItem()->text(0), QStringLiteral("Все мероприятия"));
    QStringList jobs = listed();
    jobs.sort();
    EXPECT_EQ(jobs,
              (QStringList{QStringLiteral("без периодичности"), QStringLiteral("почасовое"), QStringLiteral("своё")}));
}

TEST_F(MainWindowTest, TheTreeAndThePeriodicityBoxShowThePeriodicitiesInTheirPlaces)
{
    start();
    const auto children = [](QTreeWidgetItem* parent) {
        QStringList texts;
        for (int i = 0; i < parent->childCount(); ++i)
            texts << parent->child(i)->text(0);
        return texts;
    };
    EXPECT_EQ(children(form().Tree->invisibleRootItem()),
              (QStringList{"Все мероприятия", "День рождения", "Памятная дата"}));
    EXPECT_EQ(children(form().Tree->topLevelItem(0)),
              (QStringList{"критическое", "ежечасное", "ежедневное", "еженедельное", "ежемесячное", "ежеквартальное",
                           "ежегодное"}));
    QStringList offered;
    for (int i = 0; i < form().CBoxPeriod->count(); ++i)
        offered << form().CBoxPeriod->itemText(i);
    EXPECT_EQ(offered, (QStringList{"критическое", "ежечасное", "ежедневное", "еженедельное", "ежемесячное",
                                    "ежеквартальное", "ежегодное", "День рождения"}));
}

TEST_F(MainWindowTest, PeriodNodesListTheirRowsByDateAndSwitchTheBirthdayMode)
{
    add(QStringLiteral("позже"), QStringLiteral("ежечасное"), QDate(2026, 12, 20));
    add(QStringLiteral("раньше"), QStringLiteral("Ежечасное"), QDate(2026, 12, 2));
    add(QStringLiteral("ежедневное дело"), QStringLiteral("ежедневное"));
    add(QStringLiteral("Иванов И.И."), QStringLiteral("День рождения"));
    add(QStringLiteral("годовщина"), QStringLiteral("Памятная дата"));
    start();

    choose(QStringLiteral("ежечасное"));
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("раньше"), QStringLiteral("позже")}));
    EXPECT_EQ(form().Label1->text(), QStringLiteral("Дата/Время исполнения"));

    choose(QStringLiteral("День рождения"));
    EXPECT_EQ(listed(), QStringList{QStringLiteral("Иванов И.И.")});
    EXPECT_EQ(form().Label1->text(), QStringLiteral("Дата рождения"));
    EXPECT_EQ(form().Label4->text(), QStringLiteral("Фамилия И.О."));
    EXPECT_FALSE(form().EdTime_Isp->isEnabled());

    choose(QStringLiteral("Памятная дата"));
    EXPECT_EQ(listed(), QStringList{QStringLiteral("годовщина")});
    EXPECT_EQ(form().Label1->text(), QStringLiteral("Дата/Время исполнения"));
    EXPECT_EQ(form().Label4->text(), QStringLiteral("Мероприятие"));
    EXPECT_TRUE(form().EdTime_Isp->isEnabled());
}

TEST_F(MainWindowTest, ChoosingAnotherNodeSavesAnEditTypedButNotPosted)
{
    const qint64 id = add(QStringLiteral("дело"), QStringLiteral("ежедневное"));
    start();
    choose(QStringLiteral("ежедневное"));
    typeInto(form().EdJob, QStringLiteral(" срочно"));
    choose(QStringLiteral("ежечасное"));
    EXPECT_EQ(diary.value(id, QStringLiteral("job")).toString(), QStringLiteral("дело срочно"));
    EXPECT_EQ(diary.value(id, QStringLiteral("date_zap")).toDateTime(), moment);
    EXPECT_TRUE(ScriptedMessageBoxes::instance().shown().isEmpty());
}

TEST_F(MainWindowTest, AnEditThatCannotBeSavedKeepsItsNodeAndStaysOpen)
{
    const qint64 id = add(QStringLiteral("дело"), QStringLiteral("ежедневное"));
    start();
    choose(QStringLiteral("ежедневное"));
    typeInto(form().EdJob, QStringLiteral("!"));
    diary.setValue(id, QStringLiteral("job"), QStringLiteral("изменено в другой программе"));

    choose(QStringLiteral("ежечасное"));
    ASSERT_EQ(ScriptedMessageBoxes::instance().shown().size(), 1);
    EXPECT_TRUE(ScriptedMessageBoxes::instance().shownTexts().front().startsWith(
        QStringLiteral("Row cannot be located for updating.")));
    EXPECT_EQ(form().Tree->currentItem()->text(0), QStringLiteral("ежедневное"));
    EXPECT_EQ(list().state(), RecordSet::State::Edit);
    EXPECT_EQ(diary.value(id, QStringLiteral("job")).toString(), QStringLiteral("изменено в другой программе"));
}

TEST_F(MainWindowTest, APickedDateStartsARowAndSurvivesEnteringItsBox)
{
    start();
    choose(QStringLiteral("ежемесячное"));
    ASSERT_TRUE(list().isEmpty());

    form().DTIsp->dropDown();
    ASSERT_NE(form().DTIsp->calendar(), nullptr);
    emit form().DTIsp->calendar()->clicked(QDate(2027, 1, 15));
    EXPECT_EQ(list().state(), RecordSet::State::Insert);
    EXPECT_EQ(form().EdDateIsp->text(), QStringLiteral("15.01.2027"));

    form().EdDateIsp->setFocus();
    QTRY_VERIFY(form().EdDateIsp->hasFocus());
    EXPECT_EQ(form().EdDateIsp->text(), QStringLiteral("15.01.2027"));
    list().post();
    EXPECT_EQ(diary.rowCount(), 1);
}

TEST_F(MainWindowTest, ClosingSavesAnUnpostedEditOrStaysOpenWhenItCannot)
{
    const qint64 id = add(QStringLiteral("дело"), QStringLiteral("ежедневное"));
    start();
    choose(QStringLiteral("ежедневное"));
    typeInto(form().EdJob, QStringLiteral("!"));
    diary.setValue(id, QStringLiteral("job"), QStringLiteral("чужое"));
    EXPECT_FALSE(form().close());
    EXPECT_TRUE(form().isVisible());
    EXPECT_EQ(ScriptedMessageBoxes::instance().shown().size(), 1);
    EXPECT_TRUE(program->tray.isPresent());

    list().cancel();
    list().refresh();
    typeInto(form().EdJob, QStringLiteral("?"));
    EXPECT_TRUE(form().close());
    EXPECT_EQ(diary.value(id, QStringLiteral("job")).toString(), QStringLiteral("чужое?"));
    EXPECT_FALSE(program->tray.isPresent());
}

TEST_F(MainWindowTest, RowsNotYetDoneArePaintedGreen)
{
    add(QStringLiteral("не сделано"), QStringLiteral("ежедневное"), QDate(2026, 12, 1), false);
    add(QStringLiteral("сделано"), QStringLiteral("ежедневное"), QDate(2026, 12, 2), true);
    start();
    choose(QStringLiteral("ежедневное"));
    form().Tree->setFocus();
    DataGrid& grid = *form().DBGrid1;
    const QImage image = grid.viewport()->grab().toImage();
    const int column = 0; // "job"
    const QRect notDone = grid.visualRect(grid.model()->index(0, column));
    const QRect done = grid.visualRect(grid.model()->index(1, column));
    // A corner of each cell: the background, clear of the text.
    EXPECT_EQ(QColor(image.pixel(notDone.left() + 1, notDone.bottom() - 1)), QColor(9, 255, 171));
    EXPECT_EQ(QColor(image.pixel(done.left() + 1, done.bottom() - 1)), grid.palette().color(QPalette::Base));
}

TEST_F(MainWindowTest, TheClientAreaIsTheDesignedSizeAndALargerWindowGrowsTheListAndTheGrid)
{
    start();
    QWidget* client = form().centralWidget();
    EXPECT_EQ(client->size(), QSize(733, 513));
    EXPECT_EQ(client->y(), form().menuBar()->geometry().bottom() + 1);
    EXPECT_EQ(form().GroupBox3->height(), 227);
    const int gridWidth = form().DBGrid1->width();

    // Never smaller than designed.
    form().resize(400, 300);
    QTRY_COMPARE(client->size(), QSize(733, 513));

    form().resize(1100, 820);
    QTRY_COMPARE(client->width(), 1100);
    const int extraHeight = client->height() - 513;
    ASSERT_GT(extraHeight, 0);
    EXPECT_EQ(form().GroupBox3->height(), 227 + extraHeight);
    EXPECT_EQ(form().GroupBox4->height(), 218);
    EXPECT_EQ(form().GroupBox1->height(), 68);
    EXPECT_EQ(form().GroupBox1->geometry().bottom(), client->height() - 1);
    EXPECT_EQ(form().GroupBox4->geometry().bottom() + 1, form().GroupBox1->y());
    EXPECT_EQ(form().Tree->width(), 191);
    EXPECT_EQ(form().DBGrid1->width(), gridWidth + 1100 - 733);

    form().showMaximized();
    QTRY_VERIFY(form().isMaximized());
    EXPECT_EQ(form().GroupBox4->height(), 218);
    EXPECT_EQ(form().GroupBox1->geometry().bottom(), client->height() - 1);
}
