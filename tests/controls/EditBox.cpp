#include "ControlTest.h"
#include "databind/Field.h"
#include "databind/RecordSet.h"
#include "databind/controls/BoundEdit.h"

namespace {

class EditBox : public ControlTest
{
protected:
    BoundEdit* edit(const QString& name, const QString& field)
    {
        auto* box = new BoundEdit(&window);
        box->setObjectName(name);
        box->setDataSource(&module().SQJob);
        box->setDataField(field);
        return box;
    }
};

} // namespace

TEST_F(EditBox, TypingIntoAnEmptyListStartsAnInsertAndPostStoresIt)
{
    RecordSet& q = allJobs();
    BoundEdit* job = edit("EdJob", "job");
    BoundEdit* other = edit("EdDateIsp", "date_isp");
    showWindow();
    focus(job);
    ASSERT_TRUE(job->isReadOnly());

    type(job, QStringLiteral("Позвонить"));
    EXPECT_EQ(q.state(), RecordSet::State::Insert);
    EXPECT_FALSE(job->isReadOnly());
    EXPECT_EQ(job->text(), QStringLiteral("Позвонить"));
    EXPECT_FALSE(q.isModified()); // still held by the box

    focus(other);
    EXPECT_TRUE(q.isModified());
    q.post();
    EXPECT_EQ(diary.rowCount(), 1);
    EXPECT_EQ(q.fieldByName("job").asString(), QStringLiteral("Позвонить"));
}

TEST_F(EditBox, ShowsEditTextWhileFocusedAndDisplayTextOtherwise)
{
    addJob("a", {{"time_isp", QTime(9, 30)}, {"date_isp", QDate(2026, 4, 1)}});
    allJobs();
    BoundEdit* time = edit("EdTime_Isp", "time_isp");
    BoundEdit* date = edit("EdDateIsp", "date_isp");
    showWindow();
    focus(date);
    EXPECT_EQ(time->text(), QStringLiteral("09:30"));
    EXPECT_EQ(date->text(), QStringLiteral("01.04.2026"));
    focus(time);
    EXPECT_EQ(time->text(), QStringLiteral("_9:30"));
    focus(date);
    EXPECT_EQ(time->text(), QStringLiteral("09:30"));
}

TEST_F(EditBox, FieldSizeLimitsOnlyABoxWithoutItsOwnLimit)
{
    allJobs();
    BoundEdit* job = edit("EdJob", "job");
    EXPECT_EQ(job->maxLength(), 250);
    auto* limited = new BoundEdit(&window);
    limited->setMaxLength(20);
    limited->setDataSource(&module().SQJob);
    limited->setDataField("period");
    EXPECT_EQ(limited->maxLength(), 20);
    job->setDataField("period");
    EXPECT_EQ(job->maxLength(), 15);
}

TEST_F(EditBox, RefusesKeysWhenTheFieldOrTheSetCannotChange)
{
    addJob("a");
    RecordSet& q = allJobs();
    BoundEdit* id = edit("EdId", "id_job");
    BoundEdit* job = edit("EdJob", "job");
    showWindow();

    focus(id);
    const QString before = id->text();
    type(id, "7");
    QTest::keyClick(id, Qt::Key_Backspace);
    EXPECT_EQ(id->text(), before);
    EXPECT_EQ(q.state(), RecordSet::State::Browse);

    q.setReadOnly(true);
    focus(job);
    type(job, "x");
    QTest::keyClick(job, Qt::Key_Delete);
    EXPECT_EQ(job->text(), QStringLiteral("a"));
    EXPECT_EQ(q.state(), RecordSet::State::Browse);
    EXPECT_FALSE(job->hasPendingChange());
}

TEST_F(EditBox, EscReReadsTheFieldAndKeepsTheEditState)
{
    addJob("старое");
    RecordSet& q = allJobs();
    BoundEdit* job = edit("EdJob", "job");
    showWindow();
    focus(job);
    QTest::keyClick(job, Qt::Key_End);
    type(job, "!!");
    ASSERT_EQ(job->text(), QStringLiteral("старое!!"));
    QTest::keyClick(job, Qt::Key_Escape);
    EXPECT_EQ(job->text(), QStringLiteral("старое"));
    EXPECT_EQ(job->selectedText(), QStringLiteral("старое"));
    EXPECT_FALSE(job->hasPendingChange());
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
}

// A picker puts a date into the box: a post writes it; entering the box first re-reads the field and loses it.
TEST_F(EditBox, ProgramTextIsWrittenBackUnlessTheBoxIsEnteredFirst)
{
    addJob("a", {{"date_isp", QDate(2026, 1, 1)}});
    RecordSet& q = allJobs();
    BoundEdit* date = edit("EdDateIsp", "date_isp");
    BoundEdit* job = edit("EdJob", "job");
    showWindow();
    focus(job);

    q.edit();
    date->setText("05.05.2026");
    q.post();
    EXPECT_EQ(q.fieldByName("date_isp").asDateTime().date(), QDate(2026, 5, 5));

    q.edit();
    date->setText("06.06.2026");
    focus(date);
    EXPECT_EQ(date->text(), QStringLiteral("05.05.2026"));
    focus(job);
    q.post();
    EXPECT_EQ(q.fieldByName("date_isp").asDateTime().date(), QDate(2026, 5, 5));
}

TEST_F(EditBox, DateBoxEmptiedStoresNullAndAnImpossibleDateKeepsTheFocus)
{
    addJob("a", {{"date_isp", QDate(2026, 1, 1)}});
    RecordSet& q = allJobs();
    BoundEdit* date = edit("EdDateIsp", "date_isp");
    BoundEdit* job = edit("EdJob", "job");
    showWindow();

    focus(date);
    date->selectAll();
    QTest::keyClick(date, Qt::Key_Delete);
    focus(job);
    EXPECT_TRUE(q.fieldByName("date_isp").isNull());

    focus(date);
    type(date, "31.02.2026");
    job->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(shownTexts(), QStringList{"'31.02.2026' is not a valid date and time."});
    EXPECT_TRUE(date->hasFocus());
    EXPECT_EQ(date->text(), QStringLiteral("31.02.2026"));
    EXPECT_EQ(date->selectedText(), QStringLiteral("31.02.2026"));
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
    EXPECT_TRUE(q.fieldByName("date_isp").isNull());
}

TEST_F(EditBox, MissingFieldNamesTheControl)
{
    allJobs();
    auto* box = new BoundEdit(&window);
    box->setObjectName("EdJob");
    box->setDataSource(&module().SQJob);
    try {
        box->setDataField("nope");
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.text(), QStringLiteral("EdJob: Field 'nope' not found"));
    }
    // A set opening with the field missing reports it and goes on opening.
    module().QJob.close();
    module().QJob.open();
    EXPECT_EQ(shownTexts(), QStringList{"EdJob: Field 'nope' not found."});
    EXPECT_TRUE(module().QJob.isOpen());
}

TEST_F(EditBox, RePointingShowsTheNewSetAndLeavesTheOldOneEditing)
{
    addJob("первое", {{"vip", false}, {"period", QStringLiteral("ежечасное")}});
    RecordSet& q = allJobs();
    module().QJobHour.open();
    BoundEdit* job = edit("EdJob", "job");
    showWindow();
    focus(job);
    type(job, "+");
    ASSERT_EQ(q.state(), RecordSet::State::Edit);

    job->setDataSource(&module().SQJobHour);
    EXPECT_EQ(job->text(), QStringLiteral("первое"));
    EXPECT_FALSE(job->hasPendingChange());
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
    EXPECT_FALSE(q.isModified());
    EXPECT_EQ(module().QJobHour.state(), RecordSet::State::Browse);
}

TEST_F(EditBox, ClosedSetShowsNothing)
{
    addJob("a");
    RecordSet& q = allJobs();
    BoundEdit* job = edit("EdJob", "job");
    EXPECT_EQ(job->text(), QStringLiteral("a"));
    q.close();
    EXPECT_EQ(job->text(), QString());
    EXPECT_EQ(job->field(), nullptr);
}
