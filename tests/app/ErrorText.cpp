#include "app/Application.h"
#include "base/Error.h"
#include "platform/ErrorBox.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

TEST(ErrorText, FullStopFollowsTheCharacterOrderRule)
{
    const struct
    {
        QString text;
        QString shown;
    } cases[] = {
        {"Field 'x' not found", "Field 'x' not found."}, {"Уже с точкой.", "Уже с точкой."},
        {"Ends in a digit 7", "Ends in a digit 7."},     {"Ends in a bracket)", "Ends in a bracket)"},
        {"Ends in a bang!", "Ends in a bang!"},          {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorBox::withFullStop(c.text), c.shown) << c.text.toStdString();
}

TEST(ErrorText, GeneralHandlerShowsTitleErrorIconAndText)
{
    ScriptedMessageBoxes::instance().clear();
    Application::showError(EngineError(QStringLiteral("Could not find file '/x/db1.mdb'.")));
    ASSERT_EQ(ScriptedMessageBoxes::instance().shown().size(), 1);
    const auto& box = ScriptedMessageBoxes::instance().shown().front();
    EXPECT_EQ(box.caption, QStringLiteral("Хронотека"));
    EXPECT_EQ(box.text, QStringLiteral("Could not find file '/x/db1.mdb'."));
    EXPECT_EQ(box.icon, MessageBoxes::Icon::Error);
    EXPECT_EQ(box.buttons, MessageBoxes::Buttons::Ok);
}

TEST(ErrorText, LastResortBoxNamesClassModuleAndAddress)
{
    const QString text = Application::fatalErrorText(EngineError(QStringLiteral("Unrecognized database format")),
                                                     QStringLiteral("chronoteka"), reinterpret_cast<void*>(0x4A2F10));
    EXPECT_EQ(text, QStringLiteral("Exception EngineError in module chronoteka at 00000000004A2F10.\n"
                                   "Unrecognized database format.\n"));
}
