#include "app/Singletons.h"
#include "diary/DiaryBackups.h"
#include "support/FakeTray.h"
#include "support/FixedClock.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TempDiary.h"
#include "units/UnitMain.h"
#include "units/WindowBackups.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList rowTexts(const QTableWidget& list, int row)
{
    QStringList texts;
    for (int column = 0; column < list.columnCount(); ++column)
        texts << list.item(row, column)->text();
    return texts;
}

} // namespace

// The day's copy is made once a day, off the window's thread; the list shows it, and "Восстановить" brings its
// events back after copying the diary as it stood.
TEST(BackupsWindow, TheDaysCopyIsMadeOnceAndRestoredFromTheList)
{
    ScriptedMessageBoxes::instance().clear();
    TempDiary diary;
    for (const char* text : {"первое", "второе", "третье"})
        diary.addRow({{"job", QString::fromUtf8(text)}});
    const QTemporaryDir data;
    const QString folder = QDir(data.path()).filePath(QStringLiteral("backups"));
    FixedClock clock(QDateTime(QDate(2026, 12, 9), QTime(9, 30)));
    FakeTray tray;
    Singletons program(diary.location(), tray, SuspendClocks::system(), {}, nullptr, folder);
    WindowBackups& backups = *program.backups();
    EXPECT_TRUE(program.mainWindow().N15->isEnabled());

    for (int start = 0; start < 2; ++start) {
        QSignalSpy finished(&backups, &WindowBackups::finished);
        backups.startDaily();
        ASSERT_TRUE(finished.wait(30000));
        backups.waitDaily();
        clock.set(QDateTime(QDate(2026, 12, 9), QTime(18, 0)));
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);

    diary.addRow({{"job", QStringLiteral("четвёртое")}});
    backups.N15Click();
    ASSERT_TRUE(backups.dialog()->isVisible());
    ASSERT_EQ(backups.list()->rowCount(), 1);
    EXPECT_EQ(rowTexts(*backups.list(), 0).mid(0, 3), (QStringList{"09.12.2026", "09:30:00", "3"}));

    ScriptedMessageBoxes::instance().setNextAnswer(MessageBoxes::Answer::Ok);
    backups.restoreRow(0);
    EXPECT_EQ(diary.rowCount(), 3);
    ASSERT_EQ(backups.list()->rowCount(), 2);
    EXPECT_EQ(rowTexts(*backups.list(), 0).mid(0, 3), (QStringList{"09.12.2026", "18:00:00", "4"}));
    EXPECT_EQ(ScriptedMessageBoxes::instance().shownTexts().last(),
              QStringLiteral("Ежедневник восстановлен из копии от 09.12.2026 09:30:00: мероприятий — 3."));

    // Cancelled, nothing changes.
    diary.addRow({{"job", QStringLiteral("пятое")}});
    ScriptedMessageBoxes::instance().setNextAnswer(MessageBoxes::Answer::Cancel);
    backups.restoreRow(1);
    EXPECT_EQ(diary.rowCount(), 4);
    backups.dialog()->hide();
}

// A copy that can't be made (a file where the folder should be) is told once, however often it fails.
TEST(BackupsWindow, ACopyThatFailsIsToldOnce)
{
    ScriptedMessageBoxes::instance().clear();
    TempDiary diary;
    const QTemporaryDir data;
    const QString folder = QDir(data.path()).filePath(QStringLiteral("backups"));
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    FakeTray tray;
    Singletons program(diary.location(), tray, SuspendClocks::system(), {}, nullptr, folder);
    QSignalSpy finished(program.backups(), &WindowBackups::finished);
    program.backups()->startDaily();
    ASSERT_TRUE(finished.wait(30000));
    program.backups()->beforeImport();
    const QStringList told = ScriptedMessageBoxes::instance().shownTexts();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.front().startsWith(QStringLiteral("Не удалось сделать резервную копию ежедневника: не удалось "
                                                       "создать папку")))
        << told.front().toStdString();
}
