// "Правка" → "Отменить" / "Повторить" in the file and on the server: random posts, deletes, ticks and imports taken
// back to the start and done again to the end, also after a restart; a step whose event another program changed
// is refused and writes nothing.
#include "diary/DiaryUndo.h"
#include "base/Error.h"
#include "diary/Period.h"
#include "diary/UnitDM.h"
#include "engine/Connection.h"
#include "engine/DiaryFile.h"
#include "engine/UndoJournal.h"
#include "export/CalendarImport.h"
#include "support/FixedClock.h"

#include <gtest/gtest.h>

#include <random>

namespace {

QString daily()
{
    return Period::remindedBy(ReminderKind::Day).front().text();
}

// The whole table, a line of texts a row, for comparing one state of the diary with another.
std::vector<std::string> rowsOf(Connection& diary)
{
    std::vector<std::string> rows;
    for (const std::vector<QVariant>& row : diary.tableRows()) {
        QStringList texts;
        for (const QVariant& value : row)
            texts << (value.isNull() ? QStringLiteral("<null>") : value.toString());
        rows.push_back(texts.join(u'|').toStdString());
    }
    return rows;
}

QByteArray calendar(const std::vector<int>& numbers, int version)
{
    QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//tests//undo//RU\r\n";
    for (const int n : numbers)
        text += QStringLiteral("BEGIN:VEVENT\r\nUID:undo-%1@example.org\r\nDTSTAMP:20260301T100000Z\r\n"
                               "DTSTART;VALUE=DATE:202603%2\r\nSUMMARY:Из календаря %1, версия %3\r\nEND:VEVENT\r\n")
                    .arg(n)
                    .arg(10 + n)
                    .arg(version)
                    .toUtf8();
    return text + "END:VCALENDAR\r\n";
}

class DiaryUndoTest : public testing::TestWithParam<DiaryKind>
{
protected:
    std::unique_ptr<TDataModule1> open() { return std::make_unique<TDataModule1>(diary.connectionString()); }

    static void moveTo(RecordSet& set, int row) { set.moveBy(row - set.recNo()); }

    static void add(TDataModule1& dm, const QString& job, bool everyDay)
    {
        dm.QJob.insert();
        dm.QJob.fieldByName(QStringLiteral("job")).setValue(job);
        if (everyDay)
            dm.QJob.fieldByName(QStringLiteral("period")).setValue(daily());
        dm.QJob.post();
    }

    static void import(TDataModule1& dm, const std::vector<int>& numbers, int version = 0)
    {
        CalendarImport::write(dm.ADOConnection1, calendar(numbers, version), dm.diaryIdentity(),
                              DiaryUndo::importLabel(QStringLiteral("дела.ics")));
        dm.eventsWrittenElsewhere();
    }

    static QString offered(TDataModule1& dm, DiaryUndo::Direction direction)
    {
        return DiaryUndo::offer(dm.ADOConnection1, direction).text;
    }

    DiaryFile diary{GetParam()};
    FixedClock clock{QDateTime(QDate(2026, 3, 12), QTime(14, 5, 9))};
};

} // namespace

TEST_P(DiaryUndoTest, RandomChangesUndoneToTheStartAndRedoneToTheEndAlsoAfterARestart)
{
    diary.add({QStringLiteral("Было до"), daily(), QDate(2026, 3, 1), {}, false, QStringLiteral("заметка")});
    diary.add({QStringLiteral("Тоже было"), {}, {}, {}, true, {}});
    auto dm = open();
    dm->showAllEvents();
    const std::vector<std::string> start = rowsOf(dm->ADOConnection1);

    std::mt19937 random(20260312);
    const int changes = GetParam() == DiaryKind::File ? 60 : 30;
    for (int i = 0; i < changes; ++i) {
        RecordSet& list = dm->QJob;
        const int kind = list.isEmpty() ? 0 : static_cast<int>(random() % 5);
        const int row = list.isEmpty() ? 0 : static_cast<int>(random() % static_cast<unsigned>(list.recordCount()));
        SCOPED_TRACE(testing::Message() << "change " << i << " of kind " << kind);
        switch (kind) {
        case 0:
            add(*dm, QStringLiteral("Новое %1").arg(i), random() % 2 == 0);
            break;
        case 1:
            moveTo(list, row);
            list.edit();
            list.fieldByName(QStringLiteral("other")).setValue(QStringLiteral("правка %1").arg(i));
            list.post();
            break;
        case 2:
            moveTo(list, row);
            list.remove();
            break;
        case 3: {
            RecordSet& due = dm->reminderSet(ReminderKind::Day);
            due.close();
            due.open();
            if (due.isEmpty()) {
                add(*dm, QStringLiteral("Ежедневное %1").arg(i), true);
                break;
            }
            moveTo(due, static_cast<int>(random() % static_cast<unsigned>(due.recordCount())));
            due.edit();
            due.fieldByName(QStringLiteral("vip")).setAsBoolean(true);
            due.post();
            dm->QJob.refresh();
            break;
        }
        default:
            import(*dm, {static_cast<int>(random() % 4), static_cast<int>(random() % 4) + 4}, i);
            break;
        }
    }
    const std::vector<std::string> end = rowsOf(dm->ADOConnection1);
    ASSERT_NE(end, start);

    int undone = 0;
    while (dm->undoLast())
        ++undone;
    EXPECT_EQ(undone, changes);
    EXPECT_EQ(rowsOf(dm->ADOConnection1), start);
    int redone = 0;
    while (dm->redoNext())
        ++redone;
    EXPECT_EQ(redone, changes);
    EXPECT_EQ(rowsOf(dm->ADOConnection1), end);

    // The steps are the diary's own: a new data module takes them back and does them again alike.
    dm.reset();
    dm = open();
    while (dm->undoLast())
        ;
    EXPECT_EQ(rowsOf(dm->ADOConnection1), start);
    for (int i = 0; i < changes / 2; ++i)
        ASSERT_TRUE(dm->redoNext());
    // A new change drops what was undone after it.
    add(*dm, QStringLiteral("После отмены"), false);
    EXPECT_FALSE(DiaryUndo::offer(dm->ADOConnection1, DiaryUndo::Direction::Redo).available);
    EXPECT_FALSE(dm->redoNext());
}

TEST_P(DiaryUndoTest, MenuItemsNameTheChangeTheyTakeBackOrDoAgain)
{
    auto dm = open();
    dm->showAllEvents();
    EXPECT_EQ(offered(*dm, DiaryUndo::Direction::Undo), QStringLiteral("Отменить"));
    EXPECT_FALSE(DiaryUndo::offer(dm->ADOConnection1, DiaryUndo::Direction::Undo).available);

    const struct
    {
        const char* what;
        std::function<void(TDataModule1&)> change;
        QString undo;
    } cases[] = {
        {"insert", [](TDataModule1& dm) { add(dm, QStringLiteral("Позвонить маме"), true); },
         QStringLiteral("Отменить: добавление «Позвонить маме»")},
        {"edit",
         [](TDataModule1& dm) {
             dm.QJob.edit();
             dm.QJob.fieldByName(QStringLiteral("job")).setValue(QStringLiteral("Позвонить папе"));
             dm.QJob.post();
         },
         QStringLiteral("Отменить: правка «Позвонить папе»")},
        {"tick",
         [](TDataModule1& dm) {
             RecordSet& due = dm.reminderSet(ReminderKind::Day);
             due.open();
             due.edit();
             due.fieldByName(QStringLiteral("vip")).setAsBoolean(true);
             due.post();
             dm.QJob.refresh();
         },
         QStringLiteral("Отменить: отметка «Позвонить папе»")},
        {"delete", [](TDataModule1& dm) { dm.QJob.remove(); }, QStringLiteral("Отменить: удаление «Позвонить папе»")},
        {"import",
         [](TDataModule1& dm) {
             import(dm, {1, 2});
         },
         QStringLiteral("Отменить: импорт из «дела.ics»")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.change(*dm);
        EXPECT_EQ(offered(*dm, DiaryUndo::Direction::Undo), c.undo);
    }
    ASSERT_TRUE(dm->undoLast());
    EXPECT_EQ(offered(*dm, DiaryUndo::Direction::Redo), QStringLiteral("Повторить: импорт из «дела.ics»"));
    EXPECT_EQ(offered(*dm, DiaryUndo::Direction::Undo), QStringLiteral("Отменить: удаление «Позвонить папе»"));
}

TEST_P(DiaryUndoTest, AStepWhoseEventWasChangedElsewhereIsRefusedAndWritesNothing)
{
    const qint64 id = diary.add({QStringLiteral("Купить хлеб"), {}, {}, {}, false, {}});
    auto dm = open();
    dm->showAllEvents();
    dm->QJob.edit();
    dm->QJob.fieldByName(QStringLiteral("other")).setValue(QStringLiteral("чёрный"));
    dm->QJob.post();
    // Another program (or computer) writes the same event after the post.
    diary.execute("UPDATE job SET other = 'белый' WHERE id_job = ?", {id});

    try {
        dm->undoLast();
        ADD_FAILURE() << "the undo was not refused";
    } catch (const Error& error) {
        EXPECT_EQ(error.text(), QStringLiteral("Отменить нельзя: мероприятие «Купить хлеб» с тех пор изменено другой "
                                               "программой, на другом компьютере или синхронизацией. Ничего не "
                                               "изменено."));
    }
    EXPECT_EQ(diary.scalar("SELECT other FROM job WHERE id_job = ?", {id}).toString(), QStringLiteral("белый"));
    // The step stays, to be taken back once the other change is itself gone.
    EXPECT_EQ(offered(*dm, DiaryUndo::Direction::Undo), QStringLiteral("Отменить: правка «Купить хлеб»"));
    diary.execute("UPDATE job SET other = 'чёрный' WHERE id_job = ?", {id});
    EXPECT_TRUE(dm->undoLast());
    EXPECT_TRUE(diary.scalar("SELECT other FROM job WHERE id_job = ?", {id}).isNull());
}

TEST_P(DiaryUndoTest, TheLastStepsAreKeptAndTheUndoneOnesGoWithANewChange)
{
    ASSERT_GE(UndoJournal::keptSteps, 100);
    diary.add({QStringLiteral("Счётчик"), {}, {}, {}, false, {}});
    auto dm = open();
    dm->showAllEvents();
    auto edit = [&dm](int n) {
        dm->QJob.edit();
        dm->QJob.fieldByName(QStringLiteral("other")).setValue(QString::number(n));
        dm->QJob.post();
    };
    for (int n = 0; n < UndoJournal::keptSteps + 5; ++n)
        edit(n);
    for (int n = 0; n < 3; ++n)
        ASSERT_TRUE(dm->undoLast());
    edit(-1);
    int undone = 0;
    while (dm->undoLast())
        ++undone;
    // Of the last keptSteps edits three were undone and dropped by the new one.
    EXPECT_EQ(undone, UndoJournal::keptSteps - 3 + 1);
    // The oldest kept step, the sixth edit, put the note back as the fifth left it.
    EXPECT_EQ(dm->QJob.fieldByName(QStringLiteral("other")).asString(), QStringLiteral("4"));
}

INSTANTIATE_TEST_SUITE_P(Diaries, DiaryUndoTest, bothDiaryKinds(), diaryKindName);
