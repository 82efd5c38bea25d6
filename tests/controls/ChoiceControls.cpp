#include "ControlTest.h"
#include "databind/Field.h"
#include "databind/RecordSet.h"
#include "databind/controls/BoundCheckBox.h"
#include "databind/controls/BoundComboBox.h"
#include "databind/controls/BoundEdit.h"
#include "databind/controls/BoundMemo.h"
#include "databind/controls/BoundText.h"

#include <QAbstractItemView>
#include <QLineEdit>

namespace {

class ChoiceControls : public ControlTest
{
protected:
    template <class Control> Control* bound(const QString& name, const QString& field, DataSource* source = nullptr)
    {
        auto* control = new Control(&window);
        control->setObjectName(name);
        control->setDataSource(source ? source : &module().SQJob);
        control->setDataField(field);
        return place(control);
    }
};

} // namespace

TEST_F(ChoiceControls, CheckBoxShowsNullGreyedAndAClickTicksIt)
{
    RecordSet& q = allJobs(); // empty: every field reads null
    auto* vip = bound<BoundCheckBox>("CheckVip", "vip");
    auto* job = bound<BoundEdit>("EdJob", "job");
    showWindow();
    EXPECT_EQ(vip->checkState(), Qt::PartiallyChecked);

    QTest::mouseClick(vip, Qt::LeftButton);
    EXPECT_EQ(vip->checkState(), Qt::Checked);
    EXPECT_EQ(q.state(), RecordSet::State::Insert);
    EXPECT_TRUE(vip->hasPendingChange());
    EXPECT_FALSE(q.isModified());

    focus(job);
    EXPECT_TRUE(q.isModified());
    q.post();
    EXPECT_TRUE(q.fieldByName("vip").asBoolean());
    EXPECT_EQ(diary.rowCount(), 1);

    QTest::mouseClick(vip, Qt::LeftButton);
    EXPECT_EQ(vip->checkState(), Qt::Unchecked);
    QTest::keyClick(vip, Qt::Key_Escape);
    EXPECT_EQ(vip->checkState(), Qt::Checked);
    EXPECT_FALSE(vip->hasPendingChange());

    q.close();
    EXPECT_EQ(vip->checkState(), Qt::Unchecked);
}

TEST_F(ChoiceControls, CheckBoxKeysAndRefusal)
{
    addJob("a", {{"vip", false}});
    RecordSet& q = allJobs();
    auto* vip = bound<BoundCheckBox>("CheckVip", "vip");
    showWindow();
    focus(vip);

    QTest::keyClick(vip, Qt::Key_Backspace); // asks to edit, changes nothing
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
    EXPECT_EQ(vip->checkState(), Qt::Unchecked);
    q.cancel();

    q.setReadOnly(true);
    QTest::keyClick(vip, Qt::Key_Space);
    QTest::mouseClick(vip, Qt::LeftButton);
    EXPECT_EQ(vip->checkState(), Qt::Unchecked);
    EXPECT_FALSE(vip->hasPendingChange());
    q.setReadOnly(false);

    QTest::keyClick(vip, Qt::Key_Space);
    EXPECT_EQ(vip->checkState(), Qt::Checked);
    q.post();
    EXPECT_TRUE(q.fieldByName("vip").asBoolean());
}

// Enter for a default button leaves the focus in the check box, so the tick is not written back.
TEST_F(ChoiceControls, TickWithoutLeavingLeavesTheSetUnmodified)
{
    addJob("a", {{"vip", false}});
    RecordSet& q = allJobs();
    auto* vip = bound<BoundCheckBox>("Vip", "vip");
    showWindow();
    focus(vip);
    QTest::keyClick(vip, Qt::Key_Space);
    QTest::keyClick(vip, Qt::Key_Return);
    EXPECT_FALSE(q.isModified());
}

TEST_F(ChoiceControls, ComboBoxTypingEditsAndStoresTheFirstFifteenCharacters)
{
    addJob("a", {{"period", QStringLiteral("ежечасное")}});
    RecordSet& q = allJobs();
    auto* period = bound<BoundComboBox>("CBoxPeriod", "period");
    period->addItems({QStringLiteral("ежечасное"), QStringLiteral("ежедневное")});
    auto* job = bound<BoundEdit>("EdJob", "job");
    showWindow();
    EXPECT_EQ(period->currentText(), QStringLiteral("ежечасное"));
    EXPECT_EQ(period->lineEdit()->cursorPosition(), 0) << "a text from the record is shown from its start";
    focus(period);
    period->lineEdit()->selectAll();
    type(period, QStringLiteral("двадцать знаков ровно"));
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
    focus(job);
    q.post();
    EXPECT_EQ(q.fieldByName("period").asString(), QStringLiteral("двадцать знаков"));
}

TEST_F(ChoiceControls, ComboBoxCountsAPeriodOfEmojiInCharacters)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x8C\x99"); // U+1F319, two UTF-16 units
    const qint64 id = addJob("a", {{"period", emoji.repeated(15)}});
    RecordSet& q = allJobs();
    auto* period = bound<BoundComboBox>("CBoxPeriod", "period");
    auto* job = bound<BoundEdit>("EdJob", "job");
    showWindow();
    EXPECT_EQ(period->currentText(), emoji.repeated(15));
    focus(period);
    period->lineEdit()->selectAll();
    for (int i = 0; i < 16; ++i)
        QTest::sendKeyEvent(QTest::Click, period, Qt::Key_unknown, emoji, Qt::NoModifier);
    EXPECT_EQ(period->currentText(), emoji.repeated(15));
    QTest::keyClick(period, Qt::Key_Backspace);
    QTest::sendKeyEvent(QTest::Click, period, Qt::Key_unknown, QStringLiteral("x"), Qt::NoModifier);
    focus(job);
    q.post();
    EXPECT_EQ(diary.value(id, "period"), QVariant(emoji.repeated(14) + QStringLiteral("x")));
}

TEST_F(ChoiceControls, ComboBoxRefusedRestoresTheFieldText)
{
    addJob("a", {{"period", QStringLiteral("ежечасное")}});
    RecordSet& q = allJobs();
    auto* period = bound<BoundComboBox>("CBoxPeriod", "period");
    period->addItems({QStringLiteral("ежечасное"), QStringLiteral("ежедневное")});
    showWindow();
    focus(period);
    q.setReadOnly(true);

    QTest::keyClick(period, Qt::Key_Down);
    EXPECT_EQ(period->currentText(), QStringLiteral("ежечасное"));
    type(period, "x");
    EXPECT_EQ(period->currentText(), QStringLiteral("ежечасное"));

    period->showPopup();
    period->setCurrentIndex(1); // a pick from the list
    EXPECT_EQ(period->currentText(), QStringLiteral("ежечасное"));
    EXPECT_FALSE(period->view()->isVisible());
    EXPECT_FALSE(period->hasPendingChange());
    EXPECT_EQ(q.state(), RecordSet::State::Browse);

    q.setReadOnly(false);
    period->setCurrentIndex(1);
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
    EXPECT_TRUE(period->hasPendingChange());
}

TEST_F(ChoiceControls, MemoEnterAsksToEditAndRecordMovesReload)
{
    addJob("a", {{"other", QStringLiteral("первая\nзаметка")}});
    addJob("b", {{"other", QStringLiteral("вторая")}});
    RecordSet& q = allJobs();
    auto* memo = bound<BoundMemo>("MemoOther", "other");
    auto* job = bound<BoundEdit>("EdJob", "job");
    showWindow();
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("первая\nзаметка"));
    EXPECT_TRUE(memo->isReadOnly());

    focus(memo);
    memo->moveCursor(QTextCursor::End);
    QTest::keyClick(memo, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(q.state(), RecordSet::State::Edit);
    EXPECT_FALSE(memo->isReadOnly());
    QTest::keyClick(memo, Qt::Key_Return);
    type(memo, "!");
    focus(job);
    q.next(); // the browse check posts the note
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("вторая"));
    q.first();
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("первая\nзаметка\n!"));
}

TEST_F(ChoiceControls, ReadOnlyTextShowsTheDisplayText)
{
    addJob("a", {{"date_isp", QDate(2026, 3, 8)}, {"time_isp", QTime(7, 5)}});
    RecordSet& q = allJobs();
    auto* date = bound<BoundText>("DateIsp", "date_isp");
    auto* time = bound<BoundText>("TimeIsp", "time_isp");
    EXPECT_EQ(date->text(), QStringLiteral("08.03.2026"));
    EXPECT_EQ(time->text(), QStringLiteral("07:05"));
    q.close();
    EXPECT_EQ(date->text(), QString());
}

// The reminder window re-binds its controls at run time; an empty set shows nothing and a tick starts an insert.
TEST_F(ChoiceControls, RePointedToAnEmptySetControlsShowNothingAndATickInserts)
{
    addJob("a", {{"vip", true}, {"other", QStringLiteral("x")}});
    allJobs();
    module().QJobHour.open();
    ASSERT_TRUE(module().QJobHour.isEmpty());
    auto* vip = bound<BoundCheckBox>("Vip", "vip");
    auto* other = bound<BoundMemo>("Other", "other");
    auto* date = bound<BoundText>("DateIsp", "date_isp");
    showWindow();
    vip->setDataSource(&module().SQJobHour);
    other->setDataSource(&module().SQJobHour);
    date->setDataSource(&module().SQJobHour);
    EXPECT_EQ(vip->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(other->toPlainText(), QString());
    EXPECT_EQ(date->text(), QString());

    QTest::mouseClick(vip, Qt::LeftButton);
    EXPECT_EQ(module().QJobHour.state(), RecordSet::State::Insert);
    EXPECT_EQ(module().QJob.state(), RecordSet::State::Browse);
}

TEST_F(ChoiceControls, EveryControlKindFollowsTheCurrentRecord)
{
    addJob("первое", {{"vip", true},
                      {"period", QStringLiteral("ежедневное")},
                      {"other", QStringLiteral("раз")},
                      {"time_isp", QTime(8, 15)}});
    addJob("второе", {{"vip", false},
                      {"period", QStringLiteral("ежегодное")},
                      {"other", QStringLiteral("два")},
                      {"time_isp", QTime(21, 0)}});
    RecordSet& q = allJobs();
    auto* job = bound<BoundEdit>("EdJob", "job");
    auto* time = bound<BoundEdit>("EdTime_Isp", "time_isp");
    auto* vip = bound<BoundCheckBox>("CheckVip", "vip");
    auto* period = bound<BoundComboBox>("CBoxPeriod", "period");
    auto* memo = bound<BoundMemo>("MemoOther", "other");
    auto* text = bound<BoundText>("TimeIsp", "time_isp");
    const auto shown = [&] {
        return QStringList{job->text(),           time->text(),        vip->isChecked() ? "v" : "-",
                           period->currentText(), memo->toPlainText(), text->text()};
    };
    showWindow();
    focus(job);
    EXPECT_EQ(shown(), (QStringList{"первое", "08:15", "v", "ежедневное", "раз", "08:15"}));
    q.next();
    EXPECT_EQ(shown(), (QStringList{"второе", "21:00", "-", "ежегодное", "два", "21:00"}));
}
