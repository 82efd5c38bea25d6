#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A D-Bus session bus of the test's own, its daemon running for the lifetime of the object. Nothing is on it but
// what the test puts there: no service is started on demand, whatever the machine has installed.
class PrivateSessionBus
{
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool isRunning() const { return !m_address.isEmpty(); }
    // The bus's address, as DBUS_SESSION_BUS_ADDRESS gives it to another program.
    QString address() const { return m_address; }
    // A connection of its own to the bus, as another program would have.
    QDBusConnection connect(const QString& name);

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};
