#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

// Where the password of an account is kept: the desktop's keyring, never a file of ours. Tests put in a fake.
class SecretStore
{
public:
    // The keyring can't be reached: no Secret Service on the session bus, or one that refused. what() is the
    // keyring's own reason, for the logs; it never holds the password.
    class Unavailable : public std::runtime_error
    {
    public:
        using std::runtime_error::runtime_error;
    };

    virtual ~SecretStore() = default;

    // What the keyring answered to a read: the password kept, none when none is kept, or, when the keyring can't be
    // reached, its own reason for the logs in unavailable.
    struct Answer
    {
        std::optional<QString> password;
        std::optional<std::string> unavailable;
    };

    // Asks for the password kept for the user on the server and calls done in this thread once the keyring answers,
    // which may be before read returns or much later, when a locked keyring waits for the user: the window goes on
    // meanwhile. done is not called once context is gone.
    virtual void read(const QString& server, const QString& user, QObject* context,
                      std::function<void(const Answer&)> done) = 0;
    // Keeps the password, replacing one kept before. Throws Unavailable.
    virtual void store(const QString& server, const QString& user, const QString& password) = 0;
    // Removes the password kept, if any. Throws Unavailable.
    virtual void forget(const QString& server, const QString& user) = 0;
};
