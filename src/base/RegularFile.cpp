#include "base/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as QSaveFile follows before it writes beside the link itself.
constexpr int maxLinkDepth = 128;

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

    // Room for the size the file has now and a byte more, which tells the end; no more than the limit, so that a
    // small file read under a large limit costs its own size. A file that grows meanwhile gets more.
    QByteArray bytes(std::min<qsizetype>(limit, static_cast<qsizetype>(status.st_size) + 1), '\0');
    qsizetype done = 0;
    while (done < limit) {
        if (done == bytes.size())
            bytes.resize(std::min(limit, bytes.size() * 2));
        const ssize_t got = ::read(file.fd(), bytes.data() + done, static_cast<size_t>(bytes.size() - done));
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

void replace(const QString& path, const QByteArray& bytes, const std::function<Error(const QString& reason)>& failure)
{
    // QSaveFile writes beside the final target of a symbolic link and renames over it.
    QFileInfo target(path);
    for (int depth = 0; depth < maxLinkDepth && target.isSymLink(); ++depth)
        target.setFile(target.symLinkTarget());
    if (target.isSymLink() || (target.exists() && !target.isFile()))
        throw failure(QStringLiteral("Not a regular file"));

    QSaveFile file(path);
    const auto fail = [&] { throw failure(file.errorString()); };
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

} // namespace RegularFile
