#include "Application.h"
#include "FontConfigWarmUp.h"
#include "FormatSettings.h"
#include "Singletons.h"
#include "SystemTrayIcon.h"
#include "UnitMain.h"
#include "UserLocale.h"

int main(int argc, char** argv)
{
    FontConfigWarmUp fonts;
    Application app(argc, argv);
    FormatSettings::setCurrent(UserLocale::formatSettings());
    SystemTrayIcon tray(Application::windowIcon(), Application::title());
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
