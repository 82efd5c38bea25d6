#include "look/ProgramLook.h"
#include "platform/ErrorBox.h"
#include "platform/ErrorReporter.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestApplication.h"

#include <QApplication>

// Widgets as the program shows them, errors shown as the program shows them, and every box scripted.
std::unique_ptr<QCoreApplication> makeTestApplication(int& argc, char** argv)
{
    auto application = std::make_unique<QApplication>(argc, argv);
    ProgramLook::applyTo(*application);
    ErrorReporter::setSink(
        [](const std::exception& error) { ErrorBox::show(QApplication::activeWindow(), ProgramLook::title(), error); });
    MessageBoxes::install(&ScriptedMessageBoxes::instance());
    return application;
}
