#include "Application.h"
#include "SystemTrayIcon.h"
#include "UnitAbout.h"
#include "UnitDM.h"
#include "UnitMain.h"
#include "UnitOption.h"
#include "UnitShedul.h"
#include "UserLocale.h"

#include <memory>

int main(int argc, char** argv)
{
    Application app(argc, argv);
    FormatSettings::setCurrent(UserLocale::formatSettings());
    SystemTrayIcon tray(Application::windowIcon(), Application::title());
    try {
        // Created in this order and destroyed in the reverse one.
        auto formMain = std::make_unique<TFormMain>(tray);
        FormMain = formMain.get();
        auto dataModule = std::make_unique<TDataModule1>();
        DataModule1 = dataModule.get();
        FormMain->attachDataModule(*dataModule);
        auto formShedul = std::make_unique<TFormShedul>();
        FormShedul = formShedul.get();
        auto formOption = std::make_unique<TFormOption>();
        FormOption = formOption.get();
        FormOption->setTimers(FormMain->timers());
        auto formAbout = std::make_unique<TFormabout>();
        Formabout = formAbout.get();

        FormMain->show();
        if (qEnvironmentVariableIsSet("CHRONOTEKA_QUIT_AFTER_SHOW"))
            Application::quitWhenShown(*FormMain);
        return app.exec();
    } catch (const std::exception& error) {
        Application::showFatalError(error);
        return 1;
    }
}
