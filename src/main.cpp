#include "app/Application.h"
#include "app/QuitWhenShown.h"
#include "app/Singletons.h"
#include "diary/DiaryBackups.h"
#include "databind/FormatSettings.h"
#include "databind/UserLocale.h"
#include "diary/DiaryLocation.h"
#include "look/ProgramLook.h"
#include "platform/FontConfigWarmUp.h"
#include "platform/SingleInstance.h"
#include "platform/SystemTrayIcon.h"
#include "units/FirstPaint.h"
#include "units/UnitMain.h"
#include "units/WindowBackups.h"
#include "units/WindowSync.h"

#include <QDir>
#include <QStandardPaths>
#include <QTimer>

int main(int argc, char** argv)
{
    FontConfigWarmUp fonts;
    Application app(argc, argv);
    // The diary folder is the working folder at start, read here alone: whatever the process's current folder
    // becomes later, the program keeps to this diary. A program already running on it is shown instead of a second,
    // and one that can't be reached is never joined by a second: every reminder would come twice.
    const QString diaryFolder = QDir::currentPath();
    SingleInstance instance(diaryFolder);
    switch (instance.claim()) {
    case SingleInstance::Role::First:
        break;
    case SingleInstance::Role::HandedOver:
        return 0;
    case SingleInstance::Role::Unanswered:
        Application::tellAlreadyRunning();
        return 1;
    }
    FormatSettings::setCurrent(UserLocale::formatSettings());
    SystemTrayIcon tray(Application::windowIcon(), ProgramLook::title());
    try {
        const DiaryLocation location(diaryFolder);
        // The backups are kept among the user's data, outside any diary folder, which the user may sync elsewhere.
        const QString backups = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                                    .filePath(QString::fromLatin1(DiaryBackups::folderName));
        Singletons singletons(location, tray, SuspendClocks::system(), {}, nullptr, backups);
        TFormMain& mainWindow = singletons.mainWindow();
        QObject::connect(&instance, &SingleInstance::showRequested, &mainWindow, &TFormMain::PopShowClick);
        // Asking the system bus whether logind runs waits for an answer: done once the window is painted.
        ResumeWatch& resumeWatch = singletons.resumeWatch();
        FirstPaint::then(mainWindow, resumeWatch, [&resumeWatch] { resumeWatch.start(); });
        mainWindow.show();
        // The calendar's news come a little after the window is up and painted.
        QTimer::singleShot(WindowSync::startDelay, &singletons.sync(), &WindowSync::SyncTimerTimer);
        QTimer::singleShot(WindowBackups::startDelay, singletons.backups(), &WindowBackups::startDaily);
        if (qEnvironmentVariableIsSet("CHRONOTEKA_QUIT_AFTER_SHOW"))
            QuitWhenShown::watch(mainWindow);
        return app.exec();
    } catch (const std::exception& error) {
        Application::showFatalError(error);
        return 1;
    }
}
