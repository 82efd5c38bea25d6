#pragma once

#include "app/Singletons.h"
#include "support/FakeSecretStore.h"
#include "support/FakeTray.h"
#include "support/TempDiary.h"

// The program as start-up builds it, over a diary the test has filled, with a fake tray and a keyring in memory.
class Program
{
public:
    explicit Program(TempDiary& diary) : Program(diary, SuspendClocks::system()) {}
    // The reminder timers count on the test's clocks.
    Program(TempDiary& diary, const SuspendClocks& clocks)
        : diary(diary), singletons(diary.location(), tray, clocks, {}, &secrets)
    {
    }

    // Shows the main window and waits until it is active, as at the program's first show.
    void showMainWindow();

    TempDiary& diary;
    FakeTray tray;
    FakeSecretStore secrets;
    Singletons singletons;
};
