#include "diary/DiaryLocation.h"

#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "base/Error.h"
#include "base/RegularFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace {

const QString configName = QStringLiteral("database.conf");

// Far more than any connection string; a large file put there by mistake is not read whole.
constexpr qsizetype maxConfigSize = 64 * 1024;

// database.conf in the current directory, as the messages name it.
QString configPath()
{
    return QFileInfo(configName).absoluteFilePath();
}

// The bytes of database.conf, one more than the longest allowed so that a longer file is told from it.
QByteArray readConfig()
{
    const QByteArray bytes = RegularFile::read(configName, maxConfigSize + 1, [](const QString& reason) {
        return Error(QStringLiteral("Could not read the file '%1': %2.").arg(configPath(), reason));
    });
    if (bytes.size() > maxConfigSize)
        throw Error(QStringLiteral("The file '%1' is too long for a connection string.").arg(configPath()));
    return bytes;
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
    if (Connection::namesDataSource(pathOrConnectionString))
        return pathOrConnectionString;
    return JobTable::connectionString(pathOrConnectionString);
}

void create(const QString& connectionString)
{
    DiaryBackend::create(connectionString);
}

} // namespace DiaryLocation
