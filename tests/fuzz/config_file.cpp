// config.dat as found on disk: any bytes give timer intervals in range or none, never anything else.
#include "base/Error.h"
#include "settings/ConfigFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = QDir::temp().filePath(QStringLiteral("chronoteka-fuzz-%1.dat").arg(::getpid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            __builtin_trap();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    try {
        for (const std::optional<qint32>& minutes : ConfigFile(path).read()) {
            if (minutes && !TimerIntervals::inRange(*minutes))
                __builtin_trap();
        }
    } catch (const Error&) {
        __builtin_trap(); // a regular file that is there always reads
    }
    QFile::remove(path);
    return 0;
}
