#include "support/Program.h"

#include "units/UnitMain.h"

#include <QApplication>
#include <QTest>

#include <stdexcept>

void Program::showMainWindow()
{
    TFormMain& window = singletons.mainWindow();
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        throw std::runtime_error("the main window never became active");
}
