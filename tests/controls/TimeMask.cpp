#include "databind/controls/TimeMask.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

const QString timeMask = QStringLiteral("!90:00;1;_");

TimeMask loaded(const QString& raw, QChar separator = QLatin1Char(':'))
{
    TimeMask mask(timeMask, separator, QLatin1Char('.'));
    mask.load(raw);
    return mask;
}

// Types each character at the cursor, as a user does from an empty box with the cursor at the start.
TimeMask typed(const QString& keys, int cursor = 0)
{
    TimeMask mask(timeMask, QLatin1Char(':'), QLatin1Char('.'));
    for (const QChar key : keys)
        cursor = mask.type(key, cursor, cursor).cursor;
    return mask;
}

} // namespace

TEST(TimeMask, LoadingRightAlignsTheHourAndShowsBlanks)
{
    const struct
    {
        QString raw;
        QString shown;
        QString value;
        int firstBlankRequired;
    } cases[] = {
        {"", "__:__", "  :  ", 1},      {"9:30", "_9:30", " 9:30", -1},  {"12:05", "12:05", "12:05", -1},
        {"0:00", "_0:00", " 0:00", -1}, {"123:00", "__:00", "  :00", 1}, // a part too long for its group is left blank
    };
    for (const auto& c : cases) {
        const TimeMask mask = loaded(c.raw);
        EXPECT_EQ(mask.text(), c.shown) << c.raw.toStdString();
        EXPECT_EQ(mask.valueText(), c.value) << c.raw.toStdString();
        EXPECT_EQ(mask.firstBlankRequired(), c.firstBlankRequired) << c.raw.toStdString();
    }
}

TEST(TimeMask, UsesTheUsersTimeSeparator)
{
    const TimeMask mask = loaded(QStringLiteral("7.45"), QLatin1Char('.'));
    EXPECT_EQ(mask.text(), QStringLiteral("_7.45"));
    EXPECT_EQ(mask.valueText(), QStringLiteral(" 7.45"));
    EXPECT_TRUE(mask.isLiteral(2));
}

TEST(TimeMask, KeepsOrDropsLiteralsAndTakesTheBlankCharacter)
{
    TimeMask dropping(QStringLiteral("00:00;0;*"), QLatin1Char(':'), QLatin1Char('.'));
    dropping.load(QStringLiteral("12:3"));
    EXPECT_EQ(dropping.text(), QStringLiteral("12:3*"));
    EXPECT_EQ(dropping.valueText(), QStringLiteral("123 "));
}

TEST(TimeMask, EditingKeysFillAndBlankWithoutShifting)
{
    enum class Op { Type, Delete, Backspace };
    const struct
    {
        const char* name;
        QString start; // raw text loaded first
        Op op;
        QChar key;
        int selectionStart;
        int selectionEnd;
        bool accepted;
        QString shown;
        int cursor;
    } cases[] = {
        {"digit fills and moves on", "", Op::Type, '1', 0, 0, true, "1_:__", 1},
        {"digit before the separator jumps over it", "", Op::Type, '2', 1, 1, true, "_2:__", 3},
        {"digit on the separator fills the next position", "", Op::Type, '4', 2, 2, true, "__:4_", 4},
        {"digit at the last position", "12:34", Op::Type, '5', 4, 4, true, "12:35", 5},
        {"digit past the end is refused", "12:35", Op::Type, '6', 5, 5, false, "12:35", 5},
        {"letter is refused", "9:30", Op::Type, 'a', 0, 0, false, "_9:30", 0},
        {"Cyrillic letter is refused", "9:30", Op::Type, QChar(0x0436), 1, 1, false, "_9:30", 1},
        {"non-ASCII digit is refused", "", Op::Type, QChar(0x0663), 0, 0, false, "__:__", 0},
        {"separator jumps past it", "", Op::Type, ':', 1, 1, true, "__:__", 3},
        {"separator from the start jumps too", "", Op::Type, ':', 0, 0, true, "__:__", 3},
        {"separator after it is refused", "", Op::Type, ':', 3, 3, false, "__:__", 3},
        {"typing over a selection blanks it first", "12:34", Op::Type, '7', 0, 4, true, "7_:_4", 1},
        {"typing over a selection from the separator", "12:34", Op::Type, '7', 2, 5, true, "12:7_", 4},
        {"Delete blanks at the cursor", "12:34", Op::Delete, {}, 1, 1, true, "1_:34", 1},
        {"Delete on the separator leaves it", "12:34", Op::Delete, {}, 2, 2, true, "12:34", 2},
        {"Delete blanks a selection", "12:34", Op::Delete, {}, 1, 4, true, "1_:_4", 1},
        {"Delete at the end does nothing", "12:34", Op::Delete, {}, 5, 5, true, "12:34", 5},
        {"Backspace blanks left of the cursor", "12:34", Op::Backspace, {}, 5, 5, true, "12:3_", 4},
        {"Backspace over the separator", "12:34", Op::Backspace, {}, 3, 3, true, "1_:34", 1},
        {"Backspace at the start is refused", "12:34", Op::Backspace, {}, 0, 0, false, "12:34", 0},
        {"Backspace blanks a selection", "12:34", Op::Backspace, {}, 0, 5, true, "__:__", 0},
    };
    for (const auto& c : cases) {
        TimeMask mask = loaded(c.start);
        TimeMask::Result result;
        switch (c.op) {
        case Op::Type:
            result = mask.type(c.key, c.selectionStart, c.selectionEnd);
            break;
        case Op::Delete:
            result = mask.deleteForward(c.selectionStart, c.selectionEnd);
            break;
        case Op::Backspace:
            result = mask.deleteBackward(c.selectionStart, c.selectionEnd);
            break;
        }
        EXPECT_EQ(result.accepted, c.accepted) << c.name;
        EXPECT_EQ(mask.text(), c.shown) << c.name;
        EXPECT_EQ(result.cursor, c.cursor) << c.name;
    }
}

TEST(TimeMask, TypedSequencesAndTheRequiredCheck)
{
    const struct
    {
        QString keys;
        int cursor;
        QString shown;
        QString value;
        int firstBlankRequired;
    } cases[] = {
        // One hour digit fills the optional position: nine o'clock needs a leading zero or a step right.
        {"9:30", 0, "9_:30", "9 :30", 1},  {"0930", 0, "09:30", "09:30", -1},
        {"930", 1, "_9:30", " 9:30", -1},  {"23:5", 0, "23:5_", "23:5 ", 4},
        {"2359", 0, "23:59", "23:59", -1}, {"1x2", 0, "12:__", "12:  ", 3}, // a refused key changes nothing
    };
    for (const auto& c : cases) {
        const TimeMask mask = typed(c.keys, c.cursor);
        EXPECT_EQ(mask.text(), c.shown) << c.keys.toStdString();
        EXPECT_EQ(mask.valueText(), c.value) << c.keys.toStdString();
        EXPECT_EQ(mask.firstBlankRequired(), c.firstBlankRequired) << c.keys.toStdString();
        EXPECT_EQ(mask.isComplete(), c.firstBlankRequired < 0) << c.keys.toStdString();
    }
}
