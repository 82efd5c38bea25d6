#include "base/RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

namespace RegularFile {

QByteArray read(const QString& path, qsizetype limit, const std::function<Error(const QString& reason)>& failure)
{
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.fd() < 0)
        throw failure(systemReason(errno));
    struct stat status = {};
    if (::fstat(file.fd(), &status) != 0)
        throw failure(systemReason(errno));
    if (S_ISDIR(status.st_mode))
        throw failure(systemReason(EISDIR));
    if (!S_ISREG(status.st_mode))
        throw failure(QStringLiteral("Not a regular file"));

    QByteArray bytes(limit, '\0');
    qsizetype done = 0;
    while (done < limit) {
        const ssize_t got = ::read(file.fd(), bytes.data() + done, static_cast<size_t>(limit - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw failure(systemReason(errno));
        if (got == 0)
            break;
        done += got;
    }
    bytes.truncate(done);
    return bytes;
}

} // namespace RegularFile
