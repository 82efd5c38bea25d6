#include "databind/controls/BoundCheckBox.h"
#include "databind/controls/BoundMemo.h"
#include "databind/controls/BoundText.h"
#include "diary/UnitDM.h"
#include "reminders/ReminderChecks.h"
#include "support/FixedClock.h"
#include "support/Program.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"
#include "units/UnitMain.h"
#include "units/UnitShedul.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Answer = MessageBoxes::Answer;

class ReminderWindowTest : public ::testing::Test
{
protected:
    void SetUp() override { ScriptedMessageBoxes::instance().clear(); }

    void start()
    {
        program = std::make_unique<Program>(diary);
        program->showMainWindow();
    }

    TFormShedul& window() { return program->singletons.reminderWindow(); }
    TFormMain& form() { return program->singletons.mainWindow(); }
    RecordSet& hourly() { return program->singletons.dataModule().QJobHour; }
    ReminderChecks& checks() { return program->singletons.reminders(); }
    const QList<MessageBoxes::Message>& boxes() { return ScriptedMessageBoxes::instance().shown(); }

    qint64 add(const QString& job, const QString& period, bool done = false)
    {
        return diary.addRow({{QStringLiteral("job"), job},
                             {QStringLiteral("period"), period},
                             {QStringLiteral("date_isp"), QDate(2026, 12, 1)},
                             {QStringLiteral("time_isp"), QTime(9, 30)},
                             {QStringLiteral("vip"), done}});
    }

    qint64 addBirthday(const QString& name)
    {
        return diary.addRow({{QStringLiteral("job"), name},
                             {QStringLiteral("period"), QStringLiteral("День рождения")},
                             {QStringLiteral("date_isp"), QDate(1980, 12, 10)},
                             {QStringLiteral("date_shed"), QDate(2026, 12, 1)},
                             {QStringLiteral("vip"), false}});
    }

    void tickDoneFlag()
    {
        window().Vip->setFocus();
        QTRY_VERIFY(window().Vip->hasFocus());
        QTest::keyClick(window().Vip, Qt::Key_Space);
    }

    FixedClock clock{QDateTime(QDate(2026, 12, 7), QTime(12, 0))};
    TempDiary diary;
    std::unique_ptr<Program> program;
};

} // namespace

TEST_F(ReminderWindowTest, ACheckOpensTheWindowInItsMode)
{
    add(QStringLiteral("полить цветы"), QStringLiteral("ежедневное"));
    start();
    checks().TimeDayTimer();
    ASSERT_TRUE(window().isVisible());
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Ежедневные"));
    EXPECT_EQ(window().GroupBox2->title(), QStringLiteral("Мероприятия"));
    EXPECT_EQ(window().Label2->text(), QStringLiteral("Дата исполнения"));
    EXPECT_EQ(window().DateIsp->text(), QStringLiteral("01.12.2026"));
    // The daily set's time shows the time of day, as the hourly and weekly ones do.
    EXPECT_EQ(window().TimeIsp->text(), QStringLiteral("09:30"));
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(ReminderWindowTest, ATickNotYetConfirmedIsSavedOnExitAndWhenAnotherSetIsShown)
{
    const qint64 hourly = add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    const qint64 daily = add(QStringLiteral("ежедневное"), QStringLiteral("ежедневное"));
    start();
    checks().TimeHourTimer();
    tickDoneFlag();
    ScriptedMessageBoxes::instance().setNextAnswer(Answer::Ok);
    checks().TimeDayTimer();
    ASSERT_EQ(window().windowTitle(), QStringLiteral("Ежедневные"));
    EXPECT_TRUE(diary.value(hourly, QStringLiteral("vip")).toBool());

    tickDoneFlag();
    EXPECT_TRUE(form().close());
    EXPECT_TRUE(diary.value(daily, QStringLiteral("vip")).toBool());
}

TEST_F(ReminderWindowTest, TickAndOkMarksTheEventDoneAndTheNextCheckDropsIt)
{
    const qint64 id = add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    start();
    checks().TimeHourTimer();
    tickDoneFlag();
    QTest::mouseClick(window().BtnOK, Qt::LeftButton);
    EXPECT_TRUE(diary.value(id, QStringLiteral("vip")).toBool());
    EXPECT_EQ(hourly().recordCount(), 1); // still listed until the next check

    checks().TimeHourTimer();
    EXPECT_TRUE(hourly().isEmpty());
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(ReminderWindowTest, EnterOnOkWhileTheFlagKeepsTheFocusSavesTheTick)
{
    const qint64 id = add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    start();
    checks().TimeHourTimer();
    tickDoneFlag();
    ASSERT_TRUE(window().Vip->hasFocus());
    window().BtnOKClick(); // what Enter on the default button runs, the focus staying in the check box
    EXPECT_TRUE(diary.value(id, QStringLiteral("vip")).toBool());
}

TEST_F(ReminderWindowTest, BirthdayModeHidesTheTimeAndLocksTheFlagButKeepsTheNote)
{
    add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    const qint64 id = addBirthday(QStringLiteral("Петров П.П."));
    start();
    checks().TimeHourTimer();
    ScriptedMessageBoxes::instance().setNextAnswer(Answer::Ok);
    form().N1Click();
    ASSERT_EQ(window().windowTitle(), QStringLiteral("День рождения"));
    EXPECT_EQ(boxes().back().text, QStringLiteral("Показать дни рождения?"));
    EXPECT_EQ(window().Label2->text(), QStringLiteral("Дата рождения"));
    EXPECT_EQ(window().GroupBox2->title(), QStringLiteral("Именинники"));
    EXPECT_FALSE(window().TimeIsp->isVisible());
    EXPECT_FALSE(window().Vip->isEnabled());

    window().Other->setFocus();
    QTRY_VERIFY(window().Other->hasFocus());
    QTest::keyClicks(window().Other, "gift");
    QTest::mouseClick(window().BtnOK, Qt::LeftButton);
    EXPECT_EQ(diary.value(id, QStringLiteral("other")).toString(), QStringLiteral("gift"));
    EXPECT_EQ(diary.value(id, QStringLiteral("job")).toString(), QStringLiteral("Петров П.П."));
    EXPECT_FALSE(diary.value(id, QStringLiteral("vip")).toBool());

    ScriptedMessageBoxes::instance().setNextAnswer(Answer::Ok);
    checks().TimeHourTimer();
    EXPECT_TRUE(window().TimeIsp->isVisible());
    EXPECT_TRUE(window().Vip->isEnabled());
}

TEST_F(ReminderWindowTest, ATickOnAnEmptySetPostsANewRowOfThatSet)
{
    add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    start();
    checks().TimeHourTimer();
    hourly().close();
    hourly().open();
    hourly().remove();
    ASSERT_TRUE(hourly().isEmpty());
    tickDoneFlag();
    EXPECT_EQ(hourly().state(), RecordSet::State::Insert);
    QTest::mouseClick(window().BtnOK, Qt::LeftButton);
    EXPECT_EQ(diary.rowCount(), 1);
}
