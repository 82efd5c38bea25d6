#include "settings/IntegerText.h"

#include "base/Error.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <optional>

TEST(IntegerText, AcceptedForms)
{
    const struct
    {
        QString text;
        qint32 value;
    } cases[] = {
        {"0", 0},
        {"10", 10},
        {"007", 7},
        {"   42", 42},
        {"+5", 5},
        {"-5", -5},
        {"  -0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"00000000002147483647", 2147483647},
        {"$1F", 31},
        {"$1f", 31},
        {"x1F", 31},
        {"X1f", 31},
        {"0x1F", 31},
        {"0X1F", 31},
        {"-$10", -16},
        {"+0x10", 16},
        {"  $A", 10},
        {"$7FFFFFFF", 2147483647},
        {"$FFFFFFFF", -1},
        {"$ffffffff", -1},
        {"$80000000", -2147483647 - 1},
        {"-$80000000", -2147483647 - 1},
        {"-$FFFFFFFF", 1},
        {"$00000001", 1},
        {"x0", 0},
        {"0x0", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IntegerText::parse(c.text), std::optional<qint32>(c.value)) << c.text.toStdString();
        EXPECT_EQ(IntegerText::toInt(c.text), c.value) << c.text.toStdString();
    }
}

TEST(IntegerText, RefusedForms)
{
    const QString cases[] = {
        "",
        " ",
        "-",
        "+",
        "$",
        "x",
        "0x",
        "-$",
        "5 ",
        "5\t",
        "\t5",
        "\n5",
        "- 5",
        "+-5",
        "--5",
        "5-",
        "1.5",
        "1,5",
        "1e3",
        "12a",
        "2147483648",
        "-2147483649",
        "99999999999999999999",
        "$100000000",
        "$000000001",
        "$G",
        "$ 1F",
        "$-1",
        "0x-1",
        "00x1",
        "0$1",
        "h1F",
        "1F",
        QString::fromUtf8("١٢"),       // Arabic-Indic digits are digits to Unicode, not to a timer
        QString::fromUtf8("１２"),     // full-width digits
        QString::fromUtf8("\u00A012"), // a no-break space is not a blank
        QString::fromUtf8("пять"),
    };
    for (const QString& text : cases)
        EXPECT_EQ(IntegerText::parse(text), std::nullopt) << text.toStdString();
}

TEST(IntegerText, RefusalNamesTheTextAsTyped)
{
    const struct
    {
        QString text;
        QString message;
    } cases[] = {
        {"", "'' is not a valid integer value"},
        {" 12 ", "' 12 ' is not a valid integer value"},
        {"десять", "'десять' is not a valid integer value"},
        {"%1", "'%1' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        try {
            IntegerText::toInt(c.text);
            ADD_FAILURE() << "accepted " << c.text.toStdString();
        } catch (const Error& error) {
            EXPECT_EQ(error.text(), c.message);
        }
    }
}
