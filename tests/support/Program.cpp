#include "support/Program.h"

#include "units/UnitMain.h"

#include <QApplication>
#include <QTest>

#include <stdexcept>

void Program::showMainWindow()
{
    FormMain->show();
    QApplication::setActiveWindow(FormMain);
    if (!QTest::qWaitForWindowActive(FormMain))
        throw std::runtime_error("the main window never became active");
}
