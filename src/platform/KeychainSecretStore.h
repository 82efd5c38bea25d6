#pragma once

#include "platform/SecretStore.h"

// The passwords in the desktop's Secret Service (or KWallet) through QtKeychain. Its jobs answer asynchronously over
// the session bus: a read hands the answer on when it comes, with no loop of its own; a store or a forget, which
// only a password the user gives or takes back makes, waits for its job in an event loop of its own, so the window
// keeps painting while the keyring asks the user to unlock it.
class KeychainSecretStore : public SecretStore
{
public:
    void read(const QString& server, const QString& user, QObject* context,
              std::function<void(const Answer&)> done) override;
    void store(const QString& server, const QString& user, const QString& password) override;
    void forget(const QString& server, const QString& user) override;
};
