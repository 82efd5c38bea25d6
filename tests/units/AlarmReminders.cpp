#include "databind/controls/BoundCheckBox.h"
#include "databind/controls/DataGrid.h"
#include "diary/UnitDM.h"
#include "reminders/AlarmScheduler.h"
#include "reminders/ReminderChecks.h"
#include "support/FixedClock.h"
#include "support/Program.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"
#include "units/UnitShedul.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QDateTime at(int day, QTime time)
{
    return QDateTime(QDate(2026, 12, day), time);
}

class AlarmRemindersTest : public ::testing::Test
{
protected:
    void SetUp() override { ScriptedMessageBoxes::instance().clear(); }

    // Starts the program as a login would; its first plan, which comes a moment after start, is made at once.
    void start()
    {
        program.reset();
        program = std::make_unique<Program>(diary);
        program->showMainWindow();
        program->singletons.alarms().replan();
    }

    qint64 add(const QString& job, const QString& period, bool timer)
    {
        return diary.addRow({{QStringLiteral("job"), job},
                             {QStringLiteral("period"), period},
                             {QStringLiteral("napom"), timer},
                             {QStringLiteral("time_shed"), QTime(9, 30)},
                             {QStringLiteral("vip"), false}});
    }

    TFormShedul& window() { return program->singletons.reminderWindow(); }
    AlarmScheduler& alarms() { return program->singletons.alarms(); }
    TDataModule1& module() { return program->singletons.dataModule(); }

    void tickDoneFlagOfTheFirst()
    {
        window().DBGrid2->recordSet()->first();
        window().Vip->setFocus();
        QTRY_VERIFY(window().Vip->hasFocus());
        QTest::keyClick(window().Vip, Qt::Key_Space);
    }

    FixedClock clock{at(7, QTime(9, 0))};
    TempDiary diary;
    std::unique_ptr<Program> program;
};

} // namespace

TEST_F(AlarmRemindersTest, AnEventSavedWithItsTimerRingsAtItsMinuteInTheAlarmMode)
{
    add(QStringLiteral("без таймера"), QStringLiteral("ежедневное"), false);
    start();
    EXPECT_EQ(alarms().nextDue(), std::nullopt);

    RecordSet& list = module().QJob;
    list.insert();
    list.fieldByName(QStringLiteral("job")).setText(QStringLiteral("зарядка"));
    list.fieldByName(QStringLiteral("period")).setText(QStringLiteral("ежедневное"));
    list.fieldByName(QStringLiteral("napom")).setAsBoolean(true);
    list.fieldByName(QStringLiteral("time_shed")).setValue(QTime(9, 30));
    list.post();
    QCoreApplication::processEvents();
    EXPECT_EQ(alarms().nextDue(), at(7, QTime(9, 30)));
    EXPECT_FALSE(window().isVisible());

    clock.set(at(7, QTime(9, 30)));
    alarms().replan();
    ASSERT_TRUE(window().isVisible());
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Напоминание"));
    EXPECT_EQ(window().GroupBox2->title(), QStringLiteral("Мероприятия"));
    EXPECT_EQ(module().QAlarm.recordCount(), 1);
    EXPECT_EQ(module().QAlarm.fieldByName(QStringLiteral("job")).asString(), QStringLiteral("зарядка"));

    tickDoneFlagOfTheFirst();
    QTest::mouseClick(window().BtnOK, Qt::LeftButton);
    window().hide();
    clock.set(at(8, QTime(9, 30)));
    QCoreApplication::processEvents();
    alarms().replan();
    EXPECT_FALSE(window().isVisible()); // done: it rings no more
    EXPECT_TRUE(ScriptedMessageBoxes::instance().shown().isEmpty());
}

// Each choice of "Отложить" saves the tick made, closes the window and brings the same set back once at its time,
// also when the program was closed and started again in between.
TEST_F(AlarmRemindersTest, EachSnoozeBringsTheSetBackOnceAtItsTimeAcrossARestart)
{
    const struct
    {
        const char* text;
        QDateTime until;
    } choices[] = {
        {"10 минут", at(7, QTime(9, 10))}, {"30 минут", at(7, QTime(9, 30))}, {"1 час", at(7, QTime(10, 0))},
        {"3 часа", at(7, QTime(12, 0))},   {"до завтра", at(8, QTime(9, 0))},
    };
    const qint64 ticked = add(QStringLiteral("полить цветы"), QStringLiteral("ежедневное"), false);
    add(QStringLiteral("зарядка"), QStringLiteral("ежедневное"), false);
    for (std::size_t i = 0; i < std::size(choices); ++i) {
        SCOPED_TRACE(choices[i].text);
        diary.setValue(ticked, QStringLiteral("vip"), false);
        clock.set(at(7, QTime(9, 0)));
        start();
        program->singletons.reminders().TimeDayTimer();
        ASSERT_TRUE(window().isVisible());
        tickDoneFlagOfTheFirst();
        const QList<QAction*> menu = window().BtnSnooze->menu()->actions();
        ASSERT_EQ(menu.size(), std::ssize(choices));
        ASSERT_EQ(menu[static_cast<qsizetype>(i)]->text(), QString::fromUtf8(choices[i].text));
        menu[static_cast<qsizetype>(i)]->trigger();
        EXPECT_FALSE(window().isVisible());
        EXPECT_TRUE(diary.value(ticked, QStringLiteral("vip")).toBool());

        clock.set(choices[i].until.addSecs(-1));
        start();
        EXPECT_FALSE(window().isVisible());
        clock.set(choices[i].until);
        alarms().replan();
        ASSERT_TRUE(window().isVisible());
        EXPECT_EQ(window().windowTitle(), QStringLiteral("Ежедневные"));
        EXPECT_EQ(module().QJobDay.recordCount(), 1); // the ticked one is done

        window().hide();
        clock.set(choices[i].until.addSecs(60));
        alarms().replan();
        EXPECT_FALSE(window().isVisible());
    }
}
