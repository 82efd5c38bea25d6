#include "diary/DiaryLocation.h"

#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/postgres/ServerConnectionInfo.h"
#include "base/Error.h"
#include "base/RegularFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <utility>

namespace {

// Far more than any connection string; a large file put there by mistake is not read whole.
constexpr qsizetype maxConfigSize = 64 * 1024;

// The bytes of database.conf, one more than the longest allowed so that a longer file is told from it.
QByteArray readConfig(const QString& path)
{
    const QByteArray bytes = RegularFile::read(path, maxConfigSize + 1, [&path](const QString& reason) {
        return Error(QStringLiteral("Could not read the file '%1': %2.").arg(path, reason));
    });
    if (bytes.size() > maxConfigSize)
        throw Error(QStringLiteral("The file '%1' is too long for a connection string.").arg(path));
    return bytes;
}

// A password kept in a file other users may read is theirs too: refused, as libpq refuses such a ~/.pgpass.
void refuseReadablePassword(const QString& config, const QString& connectionString)
{
    if (!Connection::namesServer(connectionString) ||
        !ServerConnectionInfo::holdsPassword(
            Connection::namesDataSource(connectionString) ? Connection::dataSource(connectionString) : QString()))
        return;
    struct stat status = {};
    if (::stat(QFile::encodeName(config).constData(), &status) != 0 || (status.st_mode & (S_IRGRP | S_IROTH)) == 0)
        return;
    throw Error(QStringLiteral("Файл «%1» хранит пароль к серверу, и его могут читать другие пользователи. Пароль "
                               "надёжнее держать в ~/.pgpass (строка host:port:dbname:user:password, chmod 600), "
                               "а не в строке подключения; или закройте файл для других: chmod 600 «%1».")
                    .arg(config));
}

// The connection string of the diary a folder holds.
QString connectionStringIn(const QString& folder)
{
    const QString config = QDir(folder).filePath(QStringLiteral("database.conf"));
    struct stat status = {};
    if (::lstat(QFile::encodeName(config).constData(), &status) != 0 && errno == ENOENT)
        return DiaryLocation::connectionStringOf(QStringLiteral("db1.mdb"), folder);
    // fromUtf8 drops the byte order mark some editors start a file with.
    const QString text = QString::fromUtf8(readConfig(config)).trimmed();
    if (text.isEmpty())
        throw Error(QStringLiteral("The file '%1' holds no connection string.").arg(config));
    refuseReadablePassword(config, text);
    return DiaryLocation::connectionStringOf(text, folder);
}

} // namespace

DiaryLocation::DiaryLocation(QString folder)
    : m_folder(std::move(folder)), m_connectionString(connectionStringIn(m_folder))
{
}

QString DiaryLocation::configPath() const
{
    return QDir(m_folder).filePath(QStringLiteral("config.dat"));
}

QString DiaryLocation::settingsPath() const
{
    return QDir(m_folder).filePath(QStringLiteral("chronoteka.conf"));
}

QString DiaryLocation::connectionStringOf(const QString& pathOrConnectionString, const QString& folder)
{
    // A server's connection string is one whatever its Data Source holds, so that an empty one is told as such.
    if (Connection::namesServer(pathOrConnectionString))
        return pathOrConnectionString;
    QString path = pathOrConnectionString;
    if (Connection::namesDataSource(pathOrConnectionString))
        path = Connection::dataSource(pathOrConnectionString);
    // filePath keeps a full path as it is and joins a relative one to the folder, as text.
    return JobTable::connectionString(QDir::cleanPath(QDir(folder).filePath(path)));
}
