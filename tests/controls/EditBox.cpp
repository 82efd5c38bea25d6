#include "ControlTest.h"
#include "databind/Field.h"
#include "databind/RecordSet.h"
#include "databind/controls/BoundEdit.h"
#include "databind/controls/CharacterLimit.h"

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
    // The field's size is counted in characters, not by QLineEdit's UTF-16 limit, which stays as the form left it.
    const auto characterLimit = [](const BoundEdit* box) {
        const auto* limit = qobject_cast<const CharacterLimit*>(box->validator());
        return limit ? limit->limit() : -1;
    };
    BoundEdit* job = edit("EdJob", "job");
    EXPECT_EQ(characterLimit(job), 250);
    EXPECT_EQ(job->maxLength(), 32767);
    auto* limited = new BoundEdit(&window);
    limited->setMaxLength(20);
    limited->setDataSource(&module().SQJob);
    limited->setDataField("period");
    EXPECT_EQ(limited->maxLength(), 20);
    EXPECT_EQ(characterLimit(limited), 0);
    job->setDataField("period");
    EXPECT_EQ(characterLimit(job), 15);
    job->setDataField("date_isp");
    EXPECT_EQ(characterLimit(job), 0);
}

TEST_F(EditBox, CharactersOutsideTheBasicPlaneCountOnceAndAreNeverSplit)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const qint64 full = addJob(emoji.repeated(250));
    const qint64 mixed = addJob(QStringLiteral("a") + emoji.repeated(249));
    RecordSet& q = allJobs();
    BoundEdit* job = edit("EdJob", "job");
    BoundEdit* period = edit("EdPeriod", "period");
    showWindow();
    EXPECT_EQ(job->text(), emoji.repeated(250)) << "not cut to 125 for its 250 UTF-16 units";

    // A key that would make it 251 is refused; one removed leaves 249 whole ones.
    focus(job);
    EXPECT_EQ(job->text(), emoji.repeated(250));
    job->end(false);
    QTest::sendKeyEvent(QTest::Click, job, Qt::Key_unknown, emoji, Qt::NoModifier);
    EXPECT_EQ(job->text(), emoji.repeated(250));
    QTest::keyClick(job, Qt::Key_Backspace);
    focus(period);
    q.post();
    EXPECT_EQ(diary.value(full, "job"), QVariant(emoji.repeated(249)));

    // Deleting the first character of "a" and 249 emoji keeps every emoji whole.
    q.next();
    focus(job);
    job->home(false);
    QTest::keyClick(job, Qt::Key_Delete);
    focus(period);
    q.post();
    EXPECT_EQ(diary.value(mixed, "job"), QVariant(emoji.repeated(249)));

    // Pasted or program text is cut to whole characters, the last ones put in going first.
    q.edit();
    focus(job);
    job->setText(QStringLiteral("b") + emoji.repeated(300));
    EXPECT_EQ(job->text(), QStringLiteral("b") + emoji.repeated(249));
    job->setText(QStringLiteral("c") + emoji.repeated(248) + QChar(0xD83D));
    EXPECT_EQ(job->text(), QStringLiteral("c") + emoji.repeated(248)) << "half a pair is left out";
    focus(period);
    q.post();
    EXPECT_EQ(diary.value(mixed, "job"), QVariant(QStringLiteral("c") + emoji.repeated(248)));
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

TEST_F(EditBox, ATextFromTheRecordIsShownFromItsStart)
{
    const QString longJob = QStringLiteral("начало ") + QString(180, u'ж') + QStringLiteral(" КОНЕЦ");
    addJob(longJob, {{"date_isp", QDateTime(QDate(2026, 12, 18), QTime(10, 30))}});
    addJob(QStringLiteral("второе ") + QString(180, u'ы'), {{"date_isp", QDateTime(QDate(2026, 12, 19), QTime(9, 0))}});
    RecordSet& q = allJobs();
    BoundEdit* job = edit("EdJob", "job");
    BoundEdit* date = edit("EdDateIsp", "date_isp");
    job->setFixedWidth(80);
    date->setFixedWidth(60);
    showWindow();
    focus(date);
    // A box shows what is left of its caret first: at 0 the start is in view.
    EXPECT_EQ(job->text(), longJob);
    EXPECT_EQ(job->cursorPosition(), 0);
    q.next();
    EXPECT_EQ(job->cursorPosition(), 0);
    q.close();
    q.open();
    EXPECT_EQ(job->cursorPosition(), 0);

    focus(job);
    EXPECT_EQ(date->text(), QStringLiteral("18.12.2026 10:30:00"));
    EXPECT_EQ(date->cursorPosition(), 0);
    q.next();
    EXPECT_EQ(date->cursorPosition(), 0);
}
