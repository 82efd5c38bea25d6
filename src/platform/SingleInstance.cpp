#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QByteArray showRequest = QByteArrayLiteral("show\n");

// The holder takes its lock a moment before it listens; a start in between waits this long for the socket.
constexpr int connectPatienceMilliseconds = 3000;

} // namespace

SingleInstance::SingleInstance(const QString& diaryFolder, QObject* parent)
    : QObject(parent), m_socketPath(socketPathFor(diaryFolder))
{
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::answer);
}

SingleInstance::~SingleInstance()
{
    m_server.close();
    if (m_lock >= 0)
        ::close(m_lock);
}

QString SingleInstance::socketPathFor(const QString& diaryFolder)
{
    QString real = QFileInfo(diaryFolder).canonicalFilePath();
    if (real.isEmpty())
        real = QDir::cleanPath(diaryFolder);
    const QByteArray hash = QCryptographicHash::hash(real.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    // A socket's path has room for 107 bytes: the hash is kept short and the runtime folder is short by design.
    return QStringLiteral("%1/chronoteka-%2.socket")
        .arg(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation), QString::fromLatin1(hash));
}

SingleInstance::Role SingleInstance::claim()
{
    const QByteArray lockPath = QString(m_socketPath + QStringLiteral(".lock")).toLocal8Bit();
    m_lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lock < 0)
        return Role::First;
    if (::flock(m_lock, LOCK_EX | LOCK_NB) == 0) {
        listen();
        return Role::First;
    }
    ::close(m_lock);
    m_lock = -1;
    // A holder that never answers is hung or not ours to wait for: this start goes on rather than leave the user
    // without a window.
    return askToShow() ? Role::HandedOver : Role::First;
}

bool SingleInstance::askToShow() const
{
    const QDeadlineTimer deadline(connectPatienceMilliseconds);
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(m_socketPath, QIODevice::WriteOnly);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            socket.write(showRequest);
            const bool sent = socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
            socket.disconnectFromServer();
            return sent;
        }
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
}

void SingleInstance::listen()
{
    // The lock is ours, so a socket file left at this path belongs to a program that was killed.
    QLocalServer::removeServer(m_socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(m_socketPath);
}

void SingleInstance::answer()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(showRequest.trimmed()))
                emit showRequested();
            socket->disconnectFromServer();
        });
    }
}
