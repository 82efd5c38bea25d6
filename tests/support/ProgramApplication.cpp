#include "app/Application.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestApplication.h"

std::unique_ptr<QCoreApplication> makeTestApplication(int& argc, char** argv)
{
    auto application = std::make_unique<Application>(argc, argv);
    MessageBoxes::install(&ScriptedMessageBoxes::instance());
    return application;
}
