// The dialect translator takes query texts; a text may be refused with an error, never crash or run away.
#include "engine/Dialect.h"
#include "engine/Error.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const Dialect::Translation translation = Dialect::translate(text);
        if (translation.parameterCount < 0 || translation.sql.isEmpty())
            __builtin_trap();
    } catch (const EngineError&) {
    }
    return 0;
}
