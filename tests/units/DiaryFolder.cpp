#include "app/Singletons.h"
#include "databind/Field.h"
#include "diary/DiaryLocation.h"
#include "diary/UnitDM.h"
#include "reminders/ReminderChecks.h"
#include "settings/ConfigFile.h"
#include "support/CurrentDirectory.h"
#include "support/FakeShellOpen.h"
#include "support/FakeTray.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TempDiary.h"
#include "units/HelpPage.h"
#include "units/UnitMain.h"
#include "units/UnitOption.h"

#include <QDir>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <functional>

namespace {

QString hourMinutes(const TempDiary& diary)
{
    const auto stored = ConfigFile(diary.location().configPath()).read()[0];
    return stored ? QString::number(*stored) : QStringLiteral("none");
}

} // namespace

// Start-up reads the current folder once; from then on every file of the diary is looked for in that folder,
// though the process moves to another diary with files of its own at every name.
TEST(DiaryFolder, TheProgramKeepsToTheFolderItStartedInWhereverTheProcessMovesSince)
{
    ScriptedMessageBoxes::instance().clear();
    FakeShellOpen shell;
    const TempDiary diary;
    const TempDiary elsewhere;
    ConfigFile(diary.location().configPath()).write({7, 60, 180, 360, 1, 120});
    ConfigFile(elsewhere.location().configPath()).write({9, 60, 180, 360, 1, 120});
    const CurrentDirectory started(diary.folder());
    const DiaryLocation location(QDir::currentPath());
    const CurrentDirectory moved(elsewhere.folder());

    FakeTray tray;
    Singletons program(location, tray);
    TFormOption& settings = program.settingsDialog();
    const struct
    {
        const char* what;
        std::function<QString()> use;
        QString seen;
    } uses[] = {
        {"the checks start at the diary's intervals",
         [&] { return QString::number(program.reminders().TimeHour->interval() / 60000); }, "7"},
        {"the settings dialog shows the diary's config.dat",
         [&] {
             settings.show();
             const QString shown = settings.EdHour->text();
             settings.hide();
             return shown;
         },
         "7"},
        {"the settings dialog saves into the diary's config.dat",
         [&] {
             settings.show();
             settings.EdHour->setText(QStringLiteral("11"));
             settings.BtnOKClick();
             return hourMinutes(diary) + ' ' + hourMinutes(elsewhere);
         },
         "11 9"},
        {"the list posts into the diary's db1.mdb",
         [&] {
             RecordSet& list = program.dataModule().QJob;
             list.insert();
             list.fieldByName(QStringLiteral("job")).setText(QStringLiteral("новое"));
             list.post();
             return QStringLiteral("%1 %2").arg(diary.rowCount()).arg(elsewhere.rowCount());
         },
         "1 0"},
        {"the help page is the diary's",
         [&] {
             program.mainWindow().N9Click();
             return shell.opened().join(u' ');
         },
         QStringLiteral("file:") + location.folder() + QStringLiteral("/help2.htm")},
    };
    for (const auto& use : uses)
        EXPECT_EQ(use.use(), use.seen) << use.what;
    EXPECT_EQ(HelpPage::path(QStringLiteral("/")), QStringLiteral("//help2.htm")) << "joined as text, unchanged";
}
