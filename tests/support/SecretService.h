#pragma once

#include <QProcess>
#include <QTemporaryDir>

class PrivateSessionBus;

// The desktop's Secret Service (org.freedesktop.secrets) on a private session bus: gnome-keyring-daemon with a
// home folder of its own, its login keyring made and unlocked with a password the test never needs again, so that
// storing and reading a secret asks no one. It runs for the lifetime of the object; the bus must outlive it.
class SecretService
{
public:
    explicit SecretService(PrivateSessionBus& bus);
    ~SecretService();
    SecretService(const SecretService&) = delete;
    SecretService& operator=(const SecretService&) = delete;

    // Whether the daemon owns the service's name on the bus.
    bool isRunning() const { return m_running; }

private:
    QTemporaryDir m_home;
    QProcess m_daemon;
    bool m_running = false;
};
