#include "diary/DiaryLocation.h"

#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/Error.h"
#include "engine/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString configName = QStringLiteral("database.conf");

// Far more than any connection string; a large file put there by mistake is not read whole.
constexpr qsizetype maxConfigSize = 64 * 1024;

// database.conf in the current directory, as the messages name it.
QString configPath()
{
    return QFileInfo(configName).absoluteFilePath();
}

[[noreturn]] void cannotRead(const QString& reason)
{
    throw Error(QStringLiteral("Could not read the file '%1': %2.").arg(configPath(), reason));
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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

// The bytes of database.conf. Opening a FIFO for reading would wait for a writer, so nothing blocks and only a
// regular file is read at all.
QByteArray readConfig()
{
    const Descriptor file(::open(QFile::encodeName(configName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.fd() < 0)
        cannotRead(systemReason(errno));
    struct stat status = {};
    if (::fstat(file.fd(), &status) != 0)
        cannotRead(systemReason(errno));
    if (S_ISDIR(status.st_mode))
        cannotRead(systemReason(EISDIR));
    if (!S_ISREG(status.st_mode))
        cannotRead(QStringLiteral("Not a regular file"));

    QByteArray bytes(maxConfigSize + 1, '\0');
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.fd(), bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            cannotRead(systemReason(errno));
        if (got == 0)
            break;
        done += got;
    }
    if (done > maxConfigSize)
        throw Error(QStringLiteral("The file '%1' is too long for a connection string.").arg(configPath()));
    bytes.truncate(done);
    return bytes;
}

// Whether text has a Data Source key, read as the engine reads a connection string: parts between semicolons.
bool namesDataSource(const QString& text)
{
    const QStringList parts = text.split(u';');
    return std::any_of(parts.begin(), parts.end(), [](const QString& part) {
        const qsizetype equals = part.indexOf(u'=');
        return equals >= 0 &&
               part.left(equals).simplified().compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0;
    });
}

} // namespace

namespace DiaryLocation {

QString connectionString()
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(configName).constData(), &status) != 0 && errno == ENOENT)
        return JobTable::connectionString();
    // fromUtf8 drops the byte order mark some editors start a file with.
    const QString text = QString::fromUtf8(readConfig()).trimmed();
    if (text.isEmpty())
        throw Error(QStringLiteral("The file '%1' holds no connection string.").arg(configPath()));
    return connectionStringOf(text);
}

QString connectionStringOf(const QString& pathOrConnectionString)
{
    if (namesDataSource(pathOrConnectionString))
        return pathOrConnectionString;
    return JobTable::connectionString(pathOrConnectionString);
}

QString nameOf(const QString& connectionString)
{
    if (Connection::namesServer(connectionString))
        return Connection::dataSource(connectionString);
    return Connection::dataSourcePath(connectionString);
}

void create(const QString& connectionString)
{
    if (Connection::namesServer(connectionString))
        Schema::createServerDiary(Connection::dataSource(connectionString), JobTable::schema());
    else
        Schema::createEmptyDatabase(Connection::dataSourcePath(connectionString), JobTable::schema());
}

} // namespace DiaryLocation
