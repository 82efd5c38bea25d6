// The date and time texts: the first line is read as a field's text, the rest is used as a display format.
#include "databind/DateTimeText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype newline = input.indexOf(u'\n');
    const QString text = newline < 0 ? input : input.left(newline);
    const QString format = newline < 0 ? QString() : input.mid(newline + 1);
    const FormatSettings& settings = FormatSettings::current();
    const std::optional<DateTimeText::Moment> moment = DateTimeText::parse(text, settings, 2026);
    if (moment) {
        if (!moment->date.isValid() || !moment->time.isValid())
            __builtin_trap();
        // What was read shows as text the same reader takes back.
        const std::optional<DateTimeText::Moment> again =
            DateTimeText::parse(DateTimeText::defaultText(*moment, settings), settings, 2026);
        if (moment->date.year() >= 100 && moment->date.year() <= 9999 &&
            (!again || again->date != moment->date ||
             again->time.msecsSinceStartOfDay() / 1000 != moment->time.msecsSinceStartOfDay() / 1000))
            __builtin_trap();
    }
    const DateTimeText::Moment fixed{QDate(2026, 4, 15), QTime(9, 5, 3, 7)};
    DateTimeText::formatted(moment ? *moment : fixed, format, settings);
    return 0;
}
