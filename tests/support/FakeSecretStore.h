#pragma once

#include "platform/SecretStore.h"

#include <QHash>

// A keyring in memory, so that no test reaches the desktop's; unavailable, every call throws as one out of reach.
class FakeSecretStore : public SecretStore
{
public:
    std::optional<QString> read(const QString& server, const QString& user) override
    {
        check();
        const auto found = passwords.constFind(server + u'\n' + user);
        return found == passwords.constEnd() ? std::nullopt : std::optional<QString>(*found);
    }
    void store(const QString& server, const QString& user, const QString& password) override
    {
        check();
        passwords.insert(server + u'\n' + user, password);
    }
    void forget(const QString& server, const QString& user) override
    {
        check();
        passwords.remove(server + u'\n' + user);
    }

    bool available = true;
    // By server and user, a line break between.
    QHash<QString, QString> passwords;

private:
    void check() const
    {
        if (!available)
            throw Unavailable("no keyring");
    }
};
