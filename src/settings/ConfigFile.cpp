#include "settings/ConfigFile.h"

#include "engine/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as QSaveFile follows before it writes beside the link itself.
constexpr int maxLinkDepth = 128;

} // namespace

ConfigFile::ConfigFile(QString path) : m_path(std::move(path)) {}

bool ConfigFile::exists() const
{
    return QFileInfo::exists(m_path);
}

QString ConfigFile::absolutePath() const
{
    return QFileInfo(m_path).absoluteFilePath();
}

namespace {

// Why a file that is there is no settings file: a directory, a FIFO, a device or a socket.
QString notARegularFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return QString::fromLocal8Bit(std::strerror(EISDIR));
    return QStringLiteral("Not a regular file");
}

// An open file descriptor, closed when it goes.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

TimerIntervals::StoredMinutes ConfigFile::read() const
{
    const auto fail = [this](const QString& reason) {
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(absolutePath(), reason));
    };
    const auto systemReason = [] { return QString::fromLocal8Bit(std::strerror(errno)); };
    // Opening a FIFO for reading would wait for a writer, so nothing blocks; only a regular file is read at all.
    const Descriptor file(::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.fd() < 0)
        fail(systemReason());
    struct stat status = {};
    if (::fstat(file.fd(), &status) != 0)
        fail(systemReason());
    if (!S_ISREG(status.st_mode))
        fail(notARegularFile(status.st_mode));

    QByteArray bytes(size, '\0');
    qint64 done = 0;
    while (done < size) {
        const ssize_t got = ::read(file.fd(), bytes.data() + done, static_cast<size_t>(size - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(systemReason());
        if (got == 0)
            break;
        done += got;
    }
    bytes.truncate(done);

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
        throw Error(QStringLiteral("Cannot create file \"%1\". Not a regular file").arg(absolutePath()));

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
