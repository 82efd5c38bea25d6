// The connection string's Data Source: found or refused with the engine's error.
#include "engine/Connection.h"
#include "base/Error.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        if (Connection::dataSourcePath(text).isEmpty())
            __builtin_trap();
    } catch (const EngineError&) {
    }
    return 0;
}
