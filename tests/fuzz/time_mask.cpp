// The time mask: the first line is the mask, then each byte pair is an edit (what, where); the text keeps its
// length and the cursor stays inside it whatever is done.
#include "databind/controls/TimeMask.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto* bytes = reinterpret_cast<const char*>(data);
    size_t newline = 0;
    while (newline < size && bytes[newline] != '\n')
        ++newline;
    TimeMask mask(QString::fromUtf8(bytes, static_cast<qsizetype>(newline)), QLatin1Char(':'), QLatin1Char('.'));
    const int length = mask.length();
    const auto check = [&](const TimeMask::Result& result) {
        if (mask.text().size() != length || result.cursor < 0 || result.cursor > length)
            __builtin_trap();
    };
    for (size_t i = newline + 1; i + 1 < size; i += 2) {
        const auto op = static_cast<unsigned char>(bytes[i]);
        // A selection inside the text, as the edit box gives it.
        const int start = static_cast<unsigned char>(bytes[i + 1]) % (length + 1);
        const int end = std::min(start + (op >> 4) % 4, length);
        switch (op % 5) {
        case 0:
            check(mask.type(QChar(static_cast<char16_t>(u'0' + op % 10)), start, end));
            break;
        case 1:
            check(mask.type(QChar(static_cast<char16_t>(op)), start, end));
            break;
        case 2:
            check(mask.deleteForward(start, end));
            break;
        case 3:
            check(mask.deleteBackward(start, end));
            break;
        default:
            mask.load(QString::fromLatin1(bytes + i, static_cast<qsizetype>(std::min<size_t>(size - i, 6))));
            check({true, 0});
            break;
        }
        mask.valueText();
        mask.firstBlankRequired();
    }
    return 0;
}
