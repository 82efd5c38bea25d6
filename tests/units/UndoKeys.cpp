// Ctrl+Z and Ctrl+Y in the main window: a box with typing of its own takes them; anywhere else, and in a box with
// nothing typed, they undo and redo the last change to the diary.
#include "databind/controls/BoundEdit.h"
#include "databind/controls/DataGrid.h"
#include "diary/UnitDM.h"
#include "support/FixedClock.h"
#include "support/Program.h"
#include "support/ScriptedMessageBoxes.h"
#include "units/UnitMain.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

class UndoKeysTest : public ::testing::Test
{
protected:
    void SetUp() override { ScriptedMessageBoxes::instance().clear(); }

    TFormMain& form() { return program->singletons.mainWindow(); }
    RecordSet& list() { return program->singletons.dataModule().QJob; }

    void moveTo(int row) { list().moveBy(row - list().recNo()); }

    void press(QWidget* control, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        control->setFocus();
        QTRY_VERIFY(control->hasFocus());
        QTest::keyClick(control, key, modifiers);
    }

    FixedClock clock{QDateTime(QDate(2026, 12, 7), QTime(10, 30, 15))};
    TempDiary diary;
    std::unique_ptr<Program> program;
};

} // namespace

TEST_F(UndoKeysTest, CtrlZGoesToABoxWithTypingAndElseToTheDiary)
{
    const qint64 mother = diary.addRow({{QStringLiteral("job"), QStringLiteral("Позвонить маме")}});
    const qint64 bread = diary.addRow({{QStringLiteral("job"), QStringLiteral("Купить хлеб")}});
    program = std::make_unique<Program>(diary);
    program->showMainWindow();
    ASSERT_EQ(list().recordCount(), 2);
    moveTo(1);
    list().remove();
    ASSERT_TRUE(diary.value(bread, QStringLiteral("job")).isNull());
    moveTo(0);

    // Typing in the description box is taken back in the box; the diary keeps its deletion.
    BoundEdit* job = form().EdJob;
    job->setFocus();
    QTRY_VERIFY(job->hasFocus());
    QTest::sendKeyEvent(QTest::Click, job, Qt::Key_unknown, QStringLiteral("!"), Qt::NoModifier);
    ASSERT_EQ(job->text(), QStringLiteral("Позвонить маме!"));
    press(job, Qt::Key_Z);
    EXPECT_EQ(job->text(), QStringLiteral("Позвонить маме"));
    EXPECT_TRUE(diary.value(bread, QStringLiteral("job")).isNull());

    // With nothing more typed to take back, the box lets the key through: the deletion is undone.
    press(job, Qt::Key_Z);
    EXPECT_EQ(diary.value(bread, QStringLiteral("job")).toString(), QStringLiteral("Купить хлеб"));
    EXPECT_EQ(diary.value(mother, QStringLiteral("job")).toString(), QStringLiteral("Позвонить маме"));
    EXPECT_EQ(list().recordCount(), 2);

    // From the list: Ctrl+Y deletes it again, Ctrl+Shift+Z finds nothing more to redo, Ctrl+Z brings it back.
    press(form().DBGrid1, Qt::Key_Y);
    EXPECT_TRUE(diary.value(bread, QStringLiteral("job")).isNull());
    press(form().DBGrid1, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(diary.value(bread, QStringLiteral("job")).isNull());
    press(form().DBGrid1, Qt::Key_Z);
    EXPECT_EQ(diary.value(bread, QStringLiteral("job")).toString(), QStringLiteral("Купить хлеб"));

    // The menu names what the items would do; with nothing to undo its item is off.
    form().EditMenuShow();
    EXPECT_EQ(form().N17->text(), QStringLiteral("Отменить"));
    EXPECT_FALSE(form().N17->isEnabled());
    EXPECT_EQ(form().N18->text(), QStringLiteral("Повторить: удаление «Купить хлеб»"));
    EXPECT_TRUE(form().N18->isEnabled());
    EXPECT_TRUE(ScriptedMessageBoxes::instance().shown().isEmpty());
}
