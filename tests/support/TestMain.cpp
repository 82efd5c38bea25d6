#include "app/Application.h"
#include "support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    MessageBoxes::install(&ScriptedMessageBoxes::instance());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
