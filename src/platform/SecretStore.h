#pragma once

#include <QString>

#include <optional>
#include <stdexcept>

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

    // The password kept for the user on the server; none when none is kept. Throws Unavailable.
    virtual std::optional<QString> read(const QString& server, const QString& user) = 0;
    // Keeps the password, replacing one kept before. Throws Unavailable.
    virtual void store(const QString& server, const QString& user, const QString& password) = 0;
    // Removes the password kept, if any. Throws Unavailable.
    virtual void forget(const QString& server, const QString& user) = 0;
};
