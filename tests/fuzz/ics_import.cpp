// An .ics file as another program wrote it: any bytes give rows or a refusal naming one of the file's lines.
#include "export/IcsImport.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray calendar(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        IcsImport::read(calendar, QStringLiteral("/home/user/diary"));
    } catch (const IcsImport::Unreadable& e) {
        if (e.line() < 1 || e.line() > calendar.count('\n') + 1)
            __builtin_trap();
    }
    return 0;
}
