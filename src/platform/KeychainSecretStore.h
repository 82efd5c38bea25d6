#pragma once

#include "platform/SecretStore.h"

// The passwords in the desktop's Secret Service (or KWallet) through QtKeychain. Its jobs answer asynchronously over
// the session bus; each call waits for its job's answer in an event loop of its own, so the window keeps painting
// while the keyring asks the user to unlock it.
class KeychainSecretStore : public SecretStore
{
public:
    std::optional<QString> read(const QString& server, const QString& user) override;
    void store(const QString& server, const QString& user, const QString& password) override;
    void forget(const QString& server, const QString& user) override;
};
