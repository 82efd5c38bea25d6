#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

const QByteArray showRequest = QByteArrayLiteral("show\n");

// A holder that has just ended still has its name for a moment and takes no more connections: a start waits this
// long for the name to come free or for an answer.
constexpr int connectPatienceMilliseconds = 3000;

QString realPath(const QString& folder)
{
    const QString real = QFileInfo(folder).canonicalFilePath();
    return real.isEmpty() ? QDir::cleanPath(folder) : real;
}

// An abstract name is open to every user: only a peer of our own user is one of us.
bool isOurUser(qintptr socket)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

} // namespace

SingleInstance::SingleInstance(const QString& diaryFolder, QObject* parent)
    : QObject(parent), m_diaryFolder(realPath(diaryFolder)), m_serverName(serverNameFor(diaryFolder))
{
    m_server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::answer);
}

SingleInstance::~SingleInstance()
{
    m_server.close();
    if (m_lock >= 0)
        ::close(m_lock);
}

QString SingleInstance::serverNameFor(const QString& diaryFolder)
{
    const QByteArray hash =
        QCryptographicHash::hash(realPath(diaryFolder).toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return QStringLiteral("chronoteka-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::Role SingleInstance::claim()
{
    const QDeadlineTimer deadline(connectPatienceMilliseconds);
    while (true) {
        if (m_server.listen(m_serverName))
            return Role::First;
        // Abstract names refused altogether: the folder's lock is all there is.
        if (m_server.serverError() != QAbstractSocket::AddressInUseError)
            return byFolderLock();
        switch (askToShow(deadline)) {
        case Reply::Sent:
            return Role::HandedOver;
        case Reply::Stranger:
            return byFolderLock();
        case Reply::Nobody:
            break;
        }
        if (deadline.hasExpired())
            return Role::Unanswered;
        QThread::msleep(20);
    }
}

SingleInstance::Reply SingleInstance::askToShow(const QDeadlineTimer& deadline) const
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(m_serverName, QIODevice::WriteOnly);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return Reply::Nobody;
    if (!isOurUser(socket.socketDescriptor()))
        return Reply::Stranger;
    socket.write(showRequest);
    const bool sent = socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
    socket.disconnectFromServer();
    return sent ? Reply::Sent : Reply::Nobody;
}

SingleInstance::Role SingleInstance::byFolderLock()
{
    m_lock = ::open(QFile::encodeName(m_diaryFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder that can't be opened or locked (a network file system may refuse locks on a folder) guards nothing:
    // the program runs as it would with no guard at all.
    if (m_lock < 0 || ::flock(m_lock, LOCK_EX | LOCK_NB) == 0)
        return Role::First;
    const bool held = errno == EWOULDBLOCK;
    ::close(m_lock);
    m_lock = -1;
    return held ? Role::Unanswered : Role::First;
}

void SingleInstance::answer()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        if (!isOurUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(showRequest.trimmed()))
                emit showRequested();
            socket->disconnectFromServer();
        });
    }
}
