// The file's collation reads texts straight from their UTF-8 bytes; it must order them exactly as the program's own
// comparison of decoded texts does, or a list and the program would disagree about which rows are a periodicity's.
#include "base/CaselessText.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

template <std::size_t N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

} // namespace

TEST(CaselessOrder, Utf8BytesOrderAsDecodedTexts)
{
    const struct
    {
        const char* name;
        QByteArray a;
        QByteArray b;
        int expected;
    } cases[] = {
        {"same bytes", bytes("ежедневное"), bytes("ежедневное"), 0},
        {"capital first letter", bytes("Ежедневное"), bytes("ежедневное"), 0},
        {"all capitals", bytes("ЕЖЕДНЕВНОЕ"), bytes("ежедневное"), 0},
        {"another word", bytes("ежедневное"), bytes("ежемесячное"), -1},
        {"capital sorts as its small letter", bytes("Дни рождения"), bytes("ежедневное"), -1},
        {"ё stays apart from е", bytes("ёлка"), bytes("елка"), 1},
        {"Ё is ё", bytes("ЁЛКА"), bytes("ёлка"), 0},
        {"a prefix first", bytes("еже"), bytes("ежедневное"), -1},
        {"empty first", bytes(""), bytes("a"), -1},
        {"both empty", bytes(""), bytes(""), 0},
        {"Latin", bytes("ABC"), bytes("abd"), -1},
        {"Latin before Cyrillic", bytes("z"), bytes("а"), -1},
        {"final sigma", bytes("Σ"), bytes("ς"), 0},
        {"sharp s is not two letters", bytes("ß"), bytes("SS"), 1},
        {"pair beyond the basic plane folded", bytes("\U00010400"), bytes("\U00010428"), 0},
        // UTF-16 puts a pair before the last letters of the basic plane, unlike the code points' own order.
        {"pair before a full-width letter", bytes("\U0001F600"), bytes("Ａ"), -1},
        {"pair after a Cyrillic letter", bytes("\U0001F600"), bytes("я"), 1},
        {"nul inside", bytes("a\0b"), bytes("a"), 1},
        {"bytes that are not UTF-8", bytes("\xff"), bytes("a"), 1},
        {"overlong form", bytes("\xc0\xaf"), bytes("/"), 1},
        {"cut short", bytes("\xd0"), bytes("\xd0\xb0"), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int decoded = CaselessText::compare(QString::fromUtf8(c.a), QString::fromUtf8(c.b));
        EXPECT_EQ(sign(decoded), c.expected);
        EXPECT_EQ(sign(CaselessText::compareUtf8(c.a, c.b)), c.expected);
        EXPECT_EQ(sign(CaselessText::compareUtf8(c.b, c.a)), -c.expected);
    }
}
