#include "ControlTest.h"
#include "databind/Field.h"
#include "databind/RecordSet.h"
#include "databind/controls/BoundEdit.h"

#include <limits>

namespace {

const QString maskError = QStringLiteral("Invalid input value.  Use escape key to abandon changes");
const QString maskErrorShown = maskError + QLatin1Char('.'); // the general handler adds the full stop

class TimeBox : public ControlTest
{
protected:
    // EdTime_Isp and EdJob on QJob, the time box focused with the cursor at the start.
    void bind()
    {
        time = new BoundEdit(&window);
        time->setObjectName("EdTime_Isp");
        time->setMaxLength(5);
        time->setDataSource(&module().SQJob);
        time->setDataField("time_isp");
        job = new BoundEdit(&window);
        job->setObjectName("EdJob");
        job->setDataSource(&module().SQJob);
        job->setDataField("job");
        showWindow();
        focus(time);
        time->setCursorPosition(0);
    }

    QDateTime stored() const { return module().QJob.fieldByName("time_isp").asDateTime(); }
    TDataModule1& module() const { return const_cast<TimeBox*>(this)->ControlTest::module(); }

    BoundEdit* time = nullptr;
    BoundEdit* job = nullptr;
};

} // namespace

TEST_F(TimeBox, OneHourDigitLeavesARequiredBlankAndLeavingFails)
{
    addJob("a");
    allJobs();
    bind();
    type(time, "9:30");
    EXPECT_EQ(time->text(), QStringLiteral("9_:30"));

    job->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(shownTexts(), QStringList{maskErrorShown});
    EXPECT_TRUE(time->hasFocus());
    EXPECT_EQ(time->text(), QStringLiteral("9_:30"));
    EXPECT_EQ(time->selectedText(), QStringLiteral("9_:30"));
    EXPECT_FALSE(stored().isValid());

    QTest::keyClick(time, Qt::Key_Escape);
    EXPECT_EQ(time->text(), QStringLiteral("__:__"));
    job->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(job->hasFocus());
    EXPECT_EQ(shownTexts().size(), 1);
}

TEST_F(TimeBox, LeadingZeroStoresATimeOfDayAlone)
{
    addJob("a");
    RecordSet& q = allJobs();
    bind();
    EXPECT_EQ(time->text(), QStringLiteral("__:__"));
    type(time, "0930");
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
    focus(job);
    EXPECT_TRUE(shownTexts().isEmpty());
    EXPECT_EQ(stored(), QDateTime(QDate(1899, 12, 30), QTime(9, 30)));
    EXPECT_EQ(time->text(), QStringLiteral("09:30"));
    focus(time);
    EXPECT_EQ(time->text(), QStringLiteral("_9:30"));
}

TEST_F(TimeBox, TimesThatCannotBeShownLookLikeNoTime)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (const double serial : {-inf, inf, 1e300, -1e300})
        addJob("absurd", {{"time_isp", serial}});
    RecordSet& q = allJobs();
    bind();
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(time->text(), QStringLiteral("__:__")) << "not -1:-1";
        focus(job);
        EXPECT_EQ(time->text(), QString());
        q.next();
        focus(time);
    }
}

TEST_F(TimeBox, BlankingTheRequiredPositionsFails)
{
    addJob("a", {{"time_isp", QTime(12, 45)}});
    allJobs();
    bind();
    time->selectAll();
    QTest::keyClick(time, Qt::Key_Delete);
    EXPECT_EQ(time->text(), QStringLiteral("__:__"));
    job->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(shownTexts(), QStringList{maskErrorShown});
    EXPECT_EQ(stored().time(), QTime(12, 45));
}

TEST_F(TimeBox, EnterStartsAnInsertOnAnEmptySetAndChecksAChangedText)
{
    RecordSet& q = allJobs();
    bind();
    QTest::keyClick(time, Qt::Key_Return);
    EXPECT_EQ(q.state(), RecordSet::State::Insert);
    EXPECT_TRUE(shownTexts().isEmpty()); // nothing changed yet, nothing to check

    time->setCursorPosition(3);
    type(time, "15");
    QTest::keyClick(time, Qt::Key_Return);
    EXPECT_EQ(shownTexts(), QStringList{maskErrorShown});
    EXPECT_TRUE(time->hasFocus());
    EXPECT_EQ(time->cursorPosition(), 1);
    EXPECT_FALSE(time->hasSelectedText());
}

TEST_F(TimeBox, PostWithAnIncompleteTimePutsTheCursorOnTheBlank)
{
    addJob("a", {{"time_isp", QTime(7, 5)}});
    RecordSet& q = allJobs();
    bind();
    time->setCursorPosition(5);
    QTest::keyClick(time, Qt::Key_Backspace);
    EXPECT_EQ(time->text(), QStringLiteral("_7:0_"));
    try {
        q.post();
        FAIL() << "post went through";
    } catch (const Error& error) {
        EXPECT_EQ(error.text(), maskError);
    }
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
    EXPECT_EQ(time->cursorPosition(), 4);
    EXPECT_EQ(time->text(), QStringLiteral("_7:0_"));
}

TEST_F(TimeBox, HourOutOfRangeFailsWithTheDateTimeMessage)
{
    addJob("a");
    allJobs();
    bind();
    type(time, "2500");
    job->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(shownTexts(), QStringList{"'25:00' is not a valid date and time."});
    EXPECT_TRUE(time->hasFocus());
}

TEST_F(TimeBox, KeysThatNeitherEditNorChange)
{
    addJob("a", {{"time_isp", QTime(10, 20)}});
    RecordSet& q = allJobs();
    bind();
    QTest::keyClick(time, Qt::Key_Up);
    QTest::keyClick(time, Qt::Key_Down);
    QTest::keyClick(time, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(time, Qt::Key_Right);
    EXPECT_EQ(q.state(), RecordSet::State::Browse);
    EXPECT_EQ(time->text(), QStringLiteral("10:20"));
    EXPECT_EQ(time->cursorPosition(), 1);

    type(time, "ж"); // asks to edit, then the mask refuses it
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
    EXPECT_EQ(time->text(), QStringLiteral("10:20"));
}

TEST_F(TimeBox, KeysThatOnlyMoveTheCursorChangeNothing)
{
    addJob("a", {{"time_isp", QTime(10, 20)}});
    addJob("b");
    RecordSet& q = allJobs();
    bind();
    type(time, ":");
    QTest::keyClick(time, Qt::Key_End);
    QTest::keyClick(time, Qt::Key_Delete);
    EXPECT_EQ(time->text(), QStringLiteral("10:20"));
    focus(job);
    EXPECT_TRUE(shownTexts().isEmpty());
    EXPECT_FALSE(q.isModified()); // moving on drops the edit instead of stamping an unchanged row

    q.next();
    focus(time);
    time->setCursorPosition(0);
    type(time, ":");
    QTest::keyClick(time, Qt::Key_Delete);
    focus(job);
    EXPECT_TRUE(shownTexts().isEmpty()); // a blank box left blank raises no mask error
    EXPECT_FALSE(q.isModified());
}
