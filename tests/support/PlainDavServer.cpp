#include "support/PlainDavServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <stdexcept>

namespace {

void write(const QString& path, const QByteArray& data, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    if (!file.open(mode) || file.write(data) != data.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace

PlainDavServer::PlainDavServer()
{
    if (!m_folder.isValid())
        throw std::runtime_error("no temporary folder for the server");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("python3"), {QStringLiteral(PLAIN_DAV), m_folder.path()});
    QFile port(m_folder.filePath(QStringLiteral("port")));
    // The server writes its port once it listens; python3 starts in well under a second.
    const QDeadlineTimer deadline(30000);
    while (!port.exists()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            throw std::runtime_error("plain-dav.py did not start");
        QThread::msleep(20);
    }
    if (!port.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the server's port");
    m_calendarUrl = QUrl(QStringLiteral("http://127.0.0.1:%1/calendar/").arg(port.readAll().trimmed().toInt()));
}

PlainDavServer::~PlainDavServer()
{
    m_process.kill();
    m_process.waitForFinished();
}

void PlainDavServer::put(const QString& name, const QByteArray& data) const
{
    write(m_folder.filePath(QStringLiteral("objects/") + name), data);
}

QByteArray PlainDavServer::object(const QString& name) const
{
    QFile file(m_folder.filePath(QStringLiteral("objects/") + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList PlainDavServer::names() const
{
    return QDir(m_folder.filePath(QStringLiteral("objects"))).entryList(QDir::Files, QDir::Name);
}

void PlainDavServer::refuse(const QByteArray& text, int status) const
{
    write(m_folder.filePath(QStringLiteral("refuse")), text + ' ' + QByteArray::number(status) + '\n',
          QIODevice::Append);
}

int PlainDavServer::requests(const QByteArray& method, const QString& pathEnd) const
{
    QFile file(m_folder.filePath(QStringLiteral("requests")));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int count = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2 && parts[0] == method && (pathEnd.isEmpty() || parts[1].endsWith(pathEnd.toUtf8())))
            ++count;
    }
    return count;
}
