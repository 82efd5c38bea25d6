// The integer texts of the settings dialog: whatever is accepted prints and reads back as the same number.
#include "settings/IntegerText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<qint32> value = IntegerText::parse(text);
    if (value && IntegerText::parse(QString::number(*value)) != value)
        __builtin_trap();
    return 0;
}
