#include "ControlTest.h"
#include "databind/RecordSet.h"
#include "databind/controls/BoundEdit.h"
#include "databind/controls/DataNavigator.h"

#include <QToolButton>

namespace {

using Button = DataNavigator::Button;

class Navigator : public ControlTest
{
protected:
    DataNavigator* bind()
    {
        auto* navigator = new DataNavigator(&window);
        navigator->setObjectName("DBNavigator1");
        navigator->setDataSource(&module().SQJob);
        navigator->setGeometry(0, 300, 370, 41);
        return navigator;
    }

    // The enabled buttons as a word of ten letters in button order, "-" for a disabled one.
    static QString enabled(const DataNavigator* navigator)
    {
        const QString letters = QStringLiteral("FPNLIDEScR");
        QString word;
        for (int i = 0; i < DataNavigator::buttonCount; ++i)
            word += navigator->button(static_cast<Button>(i))->isEnabled() ? letters.at(i) : QLatin1Char('-');
        return word;
    }
};

} // namespace

TEST_F(Navigator, EnablingFollowsTheSet)
{
    RecordSet& q = allJobs();
    DataNavigator* navigator = bind();
    EXPECT_EQ(enabled(navigator), QStringLiteral("----I-E--R")) << "empty open set";
    navigator->run(Button::Insert);
    EXPECT_EQ(enabled(navigator), QStringLiteral("----I--ScR")) << "inserting into an empty set";
    navigator->run(Button::Cancel);

    addJob("a");
    addJob("b");
    q.close();
    EXPECT_EQ(enabled(navigator), QStringLiteral("----------")) << "closed";
    q.open();
    EXPECT_EQ(enabled(navigator), QStringLiteral("--NLIDE--R")) << "opened on the first record";
    q.edit();
    q.post();
    EXPECT_EQ(enabled(navigator), QStringLiteral("FPNLIDE--R")) << "after a post on the first record";
    q.last();
    EXPECT_EQ(enabled(navigator), QStringLiteral("FP--IDE--R")) << "on the last record";
    q.setReadOnly(true);
    q.first();
    EXPECT_EQ(enabled(navigator), QStringLiteral("--NL------")) << "read-only set";
}

TEST_F(Navigator, DeleteAsksAndOnlyOkDeletes)
{
    addJob("a");
    addJob("b");
    RecordSet& q = allJobs();
    DataNavigator* navigator = bind();

    ScriptedMessageBoxes::instance().setNextAnswer(MessageBoxes::Answer::Cancel);
    navigator->button(Button::Delete)->click();
    ASSERT_EQ(ScriptedMessageBoxes::instance().shown().size(), 1);
    const MessageBoxes::Message& box = ScriptedMessageBoxes::instance().shown().front();
    EXPECT_EQ(box.caption, QStringLiteral("Confirm"));
    EXPECT_EQ(box.text, QStringLiteral("Delete record?"));
    EXPECT_EQ(box.icon, MessageBoxes::Icon::Question);
    EXPECT_EQ(box.buttons, MessageBoxes::Buttons::OkCancel);
    EXPECT_EQ(box.buttonTexts, MessageBoxes::ButtonTexts::English);
    EXPECT_EQ(diary.rowCount(), 2);

    ScriptedMessageBoxes::instance().setNextAnswer(MessageBoxes::Answer::Ok);
    navigator->button(Button::Delete)->click();
    EXPECT_EQ(diary.rowCount(), 1);
    EXPECT_EQ(q.fieldByName("job").asString(), QStringLiteral("b"));
}

TEST_F(Navigator, ButtonsLeaveTheFocusAndPostWritesThePendingChange)
{
    addJob("a");
    RecordSet& q = allJobs();
    DataNavigator* navigator = bind();
    auto* job = place(new BoundEdit(&window));
    job->setObjectName("EdJob");
    job->setDataSource(&module().SQJob);
    job->setDataField("job");
    showWindow();
    focus(job);
    QTest::keyClick(job, Qt::Key_End);
    type(job, "бв");

    QTest::mouseClick(navigator->button(Button::Post), Qt::LeftButton);
    EXPECT_TRUE(job->hasFocus());
    EXPECT_EQ(q.state(), RecordSet::State::Browse);
    EXPECT_EQ(q.fieldByName("job").asString(), QStringLiteral("aбв"));

    type(job, "г");
    QTest::mouseClick(navigator->button(Button::Cancel), Qt::LeftButton);
    EXPECT_EQ(job->text(), QStringLiteral("aбв"));
    EXPECT_FALSE(job->hasPendingChange());
}

TEST_F(Navigator, PriorAndNextRepeatAndHintsAreReplaced)
{
    DataNavigator* navigator = bind();
    for (int i = 0; i < DataNavigator::buttonCount; ++i) {
        const QToolButton* button = navigator->button(static_cast<Button>(i));
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
        EXPECT_FALSE(button->icon().isNull());
        const bool repeats = i == int(Button::Prior) || i == int(Button::Next);
        EXPECT_EQ(button->autoRepeat(), repeats) << i;
        if (repeats) {
            EXPECT_EQ(button->autoRepeatDelay(), 400);
            EXPECT_EQ(button->autoRepeatInterval(), 100);
        }
    }
    const QStringList hints = {"Первая запись", "Предыдущая запись", "Следующая запись", "Последняя запись",
                               "Вставить",      "Удалить",           "Редактировать",    "Сохранить",
                               "Отменить",      "Обновить данные"};
    navigator->setHints(hints);
    EXPECT_EQ(navigator->hints(), hints);
    EXPECT_EQ(navigator->button(Button::Refresh)->toolTip(), QStringLiteral("Обновить данные"));
}
