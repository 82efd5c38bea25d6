#include "Program.h"

#include "UnitAbout.h"
#include "UnitDM.h"
#include "UnitMain.h"
#include "UnitOption.h"
#include "UnitShedul.h"

#include <QApplication>
#include <QTest>

Program::Program(TempDiary& diary) : diary(diary)
{
    formMain = std::make_unique<TFormMain>(tray);
    FormMain = formMain.get();
    dataModule = std::make_unique<TDataModule1>();
    DataModule1 = dataModule.get();
    FormMain->attachDataModule(*dataModule);
    formShedul = std::make_unique<TFormShedul>();
    FormShedul = formShedul.get();
    formOption = std::make_unique<TFormOption>();
    FormOption = formOption.get();
    FormOption->setTimers(FormMain->timers());
    formAbout = std::make_unique<TFormabout>();
    Formabout = formAbout.get();
}

Program::~Program()
{
    formAbout.reset();
    Formabout = nullptr;
    formOption.reset();
    FormOption = nullptr;
    formShedul.reset();
    FormShedul = nullptr;
    dataModule.reset();
    DataModule1 = nullptr;
    formMain.reset();
    FormMain = nullptr;
}

void Program::showMainWindow()
{
    formMain->show();
    QApplication::setActiveWindow(formMain.get());
    if (!QTest::qWaitForWindowActive(formMain.get()))
        throw std::runtime_error("the main window never became active");
}
