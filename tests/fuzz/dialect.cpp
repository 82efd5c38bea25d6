// The dialect translator takes query texts, for the file and for the server; a text may be refused with an error, never
// crash or run away.
#include "engine/Dialect.h"
#include "base/Error.h"

#include <cstddef>
#include <cstdint>

namespace {

const TableSchema& table()
{
    static const TableSchema schema{
        QStringLiteral("job"), {{QStringLiteral("id_job"), ColumnKind::AutoIncrement, 0}}, {}};
    return schema;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const Dialect::Translation translation = Dialect::translate(text);
        if (translation.parameterCount < 0 || translation.sql.isEmpty())
            __builtin_trap();
    } catch (const EngineError&) {
    }
    // The server's form: every $n stands for the clock or for a parameter the text has.
    try {
        const Dialect::Translation translation = Dialect::translateForServer(text, table());
        if (translation.sql.isEmpty())
            __builtin_trap();
        for (const int source : translation.serverParameters) {
            if (source >= translation.parameterCount ||
                (source < 0 && source != Dialect::clockNow && source != Dialect::clockToday))
                __builtin_trap();
        }
    } catch (const EngineError&) {
    }
    return 0;
}
