#include "app/Application.h"
#include "app/Singletons.h"
#include "databind/FormatSettings.h"
#include "databind/UserLocale.h"
#include "look/ProgramLook.h"
#include "platform/FontConfigWarmUp.h"
#include "platform/SystemTrayIcon.h"
#include "units/UnitMain.h"

int main(int argc, char** argv)
{
    FontConfigWarmUp fonts;
    Application app(argc, argv);
    FormatSettings::setCurrent(UserLocale::formatSettings());
    SystemTrayIcon tray(Application::windowIcon(), ProgramLook::title());
    try {
        Singletons singletons(tray);
        FormMain->show();
        if (qEnvironmentVariableIsSet("CHRONOTEKA_QUIT_AFTER_SHOW"))
            Application::quitWhenShown(*FormMain);
        return app.exec();
    } catch (const std::exception& error) {
        Application::showFatalError(error);
        return 1;
    }
}
