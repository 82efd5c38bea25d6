#include "settings/ConfigFile.h"

#include "engine/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>

ConfigFile::ConfigFile(QString path) : m_path(std::move(path)) {}

bool ConfigFile::exists() const
{
    return QFileInfo::exists(m_path);
}

QString ConfigFile::absolutePath() const
{
    return QFileInfo(m_path).absoluteFilePath();
}

TimerIntervals::StoredMinutes ConfigFile::read() const
{
    QFile file(m_path);
    // Qt refuses to open a directory without saying why.
    const bool isDirectory = QFileInfo(m_path).isDir();
    if (isDirectory || !file.open(QIODevice::ReadOnly)) {
        const QString reason = isDirectory ? QString::fromLocal8Bit(std::strerror(EISDIR)) : file.errorString();
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(absolutePath(), reason));
    }
    const QByteArray bytes = file.read(size);
    if (file.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(absolutePath(), file.errorString()));

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

    QSaveFile file(m_path);
    const auto fail = [&] {
        throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(absolutePath(), file.errorString()));
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
