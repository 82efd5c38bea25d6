#include "app/Application.h"
#include "app/Singletons.h"
#include "databind/FormatSettings.h"
#include "databind/UserLocale.h"
#include "look/ProgramLook.h"
#include "platform/FontConfigWarmUp.h"
#include "platform/SingleInstance.h"
#include "platform/SystemTrayIcon.h"
#include "units/UnitMain.h"

#include <QDir>
#include <QTimer>

int main(int argc, char** argv)
{
    FontConfigWarmUp fonts;
    Application app(argc, argv);
    // The diary is the working folder; a program already running on it is shown instead of a second one.
    SingleInstance instance(QDir::currentPath());
    if (instance.claim() == SingleInstance::Role::HandedOver)
        return 0;
    FormatSettings::setCurrent(UserLocale::formatSettings());
    SystemTrayIcon tray(Application::windowIcon(), ProgramLook::title());
    try {
        Singletons singletons(tray);
        QObject::connect(&instance, &SingleInstance::showRequested, FormMain, &TFormMain::PopShowClick);
        FormMain->show();
        // Asking the system bus whether logind runs waits for an answer: done once the window is up.
        QTimer::singleShot(0, &singletons.resumeWatch(), &ResumeWatch::start);
        if (qEnvironmentVariableIsSet("CHRONOTEKA_QUIT_AFTER_SHOW"))
            Application::quitWhenShown(*FormMain);
        return app.exec();
    } catch (const std::exception& error) {
        Application::showFatalError(error);
        return 1;
    }
}
