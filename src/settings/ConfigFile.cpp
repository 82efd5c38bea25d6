#include "settings/ConfigFile.h"

#include "base/Error.h"
#include "base/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

namespace {

// As many links as QSaveFile follows before it writes beside the link itself.
constexpr int maxLinkDepth = 128;

} // namespace

ConfigFile::ConfigFile(QString path) : m_path(std::move(path)) {}

bool ConfigFile::exists() const
{
    return QFileInfo::exists(m_path);
}

TimerIntervals::StoredMinutes ConfigFile::read() const
{
    const QByteArray bytes = RegularFile::read(m_path, size, [this](const QString& reason) {
        return Error(QStringLiteral("Cannot open file \"%1\". %2").arg(m_path, reason));
    });

    TimerIntervals::StoredMinutes minutes;
    for (int i = 0; i < TimerIntervals::count; ++i) {
        if (bytes.size() < (i + 1) * 4)
            break;
        const qint32 value = qFromLittleEndian<qint32>(bytes.constData() + i * 4);
        if (TimerIntervals::inRange(value))
            minutes[i] = value;
    }
    return minutes;
}

void ConfigFile::write(const TimerIntervals::Minutes& minutes) const
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < TimerIntervals::count; ++i)
        qToLittleEndian<qint32>(minutes[i], bytes.data() + i * 4);

    // The new file goes beside the final target of a symbolic link and is renamed over it, as QSaveFile resolves
    // links; that must never replace a device node, a FIFO or a directory someone linked config.dat to.
    QFileInfo target(m_path);
    for (int depth = 0; depth < maxLinkDepth && target.isSymLink(); ++depth)
        target.setFile(target.symLinkTarget());
    if (target.isSymLink() || (target.exists() && !target.isFile()))
        throw Error(QStringLiteral("Cannot create file \"%1\". Not a regular file").arg(m_path));

    QSaveFile file(m_path);
    const auto fail = [&] {
        throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(m_path, file.errorString()));
    };
    // Unbuffered, because a short write while a buffer is flushed at commit goes unreported and the truncated
    // file would replace the good one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail();
    // A short write is retried so that the next one fails with the system's reason, or completes.
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            fail();
        done += written;
    }
    if (!file.commit())
        fail();
}

void ConfigFile::loadInto(const TimerIntervals::Timers& timers) const
{
    if (exists())
        TimerIntervals::apply(timers, read());
}
