#include "support/SecretService.h"

#include "support/PrivateSessionBus.h"

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcessEnvironment>
#include <QTimer>

SecretService::SecretService(PrivateSessionBus& bus)
{
    if (!bus.isRunning() || !m_home.isValid())
        return;
    // The daemon keeps its keyrings under the data folder and its sockets under the runtime folder, which it wants
    // to be the user's alone; the machine's own are left out.
    const QString data = m_home.filePath(QStringLiteral("data"));
    const QString runtime = m_home.filePath(QStringLiteral("runtime"));
    QDir().mkpath(data);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    m_daemon.setProcessEnvironment(environment);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(QStringLiteral("gnome-keyring-daemon"), {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                                                            QStringLiteral("--components=secrets")});
    if (!m_daemon.waitForStarted(10000))
        return;
    // The password that makes and unlocks the login keyring comes on the standard input, ended by its closing.
    m_daemon.write("chronoteka-tests");
    m_daemon.closeWriteChannel();
    // The daemon takes the name once it serves: the wait ends then, when the daemon ends, or after ten seconds.
    const QDBusConnection connection = bus.connect(QStringLiteral("secret-service-watch"));
    const QString name = QStringLiteral("org.freedesktop.secrets");
    QDBusServiceWatcher watcher(name, connection, QDBusServiceWatcher::WatchForRegistration);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered, &loop, &QEventLoop::quit);
    QObject::connect(&m_daemon, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!connection.interface()->isServiceRegistered(name))
        loop.exec();
    m_running = connection.interface()->isServiceRegistered(name);
}

SecretService::~SecretService()
{
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
}
