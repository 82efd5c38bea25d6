#pragma once

#include "FakeTray.h"
#include "TempDiary.h"

#include <memory>

class TDataModule1;
class TFormMain;
class TFormShedul;
class TFormOption;
class TFormabout;

// The program as start-up builds it, over a diary the test has filled, with a fake tray: the five singletons
// created in order and destroyed in reverse, the globals pointing at them while it lives.
class Program
{
public:
    explicit Program(TempDiary& diary);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Shows the main window and waits until it is active, as at the program's first show.
    void showMainWindow();

    TempDiary& diary;
    FakeTray tray;
    std::unique_ptr<TFormMain> formMain;
    std::unique_ptr<TDataModule1> dataModule;
    std::unique_ptr<TFormShedul> formShedul;
    std::unique_ptr<TFormOption> formOption;
    std::unique_ptr<TFormabout> formAbout;
};
