#include "settings/ConfigFile.h"

#include "base/Error.h"
#include "base/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

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

    RegularFile::replace(m_path, bytes, [this](const QString& reason) {
        return Error(QStringLiteral("Cannot create file \"%1\". %2").arg(m_path, reason));
    });
}

void ConfigFile::loadInto(const TimerIntervals::Timers& timers) const
{
    if (exists())
        TimerIntervals::apply(timers, read());
}
