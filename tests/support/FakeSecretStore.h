#pragma once

#include "platform/SecretStore.h"

#include <QHash>
#include <QPointer>

#include <functional>
#include <utility>
#include <vector>

// A keyring in memory, so that no test reaches the desktop's; unavailable, every call throws as one out of reach.
class FakeSecretStore : public SecretStore
{
public:
    // Answers at once, or, while answerLate is set, when answer() is called, as a locked keyring answers once the
    // user unlocks it.
    void read(const QString& server, const QString& user, QObject* context,
              std::function<void(const Answer&)> done) override
    {
        ++reads;
        m_waiting.push_back([this, server, user, context = QPointer<QObject>(context), done = std::move(done)] {
            if (!context)
                return;
            if (!available)
                done({std::nullopt, "no keyring"});
            else
                done({read(server, user), std::nullopt});
        });
        if (!answerLate)
            answer();
    }
    // Answers the reads waiting, with what the keyring holds now.
    void answer()
    {
        for (const auto& waiting : std::exchange(m_waiting, {}))
            waiting();
    }
    std::optional<QString> read(const QString& server, const QString& user) const
    {
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
    bool answerLate = false;
    // Reads asked for so far.
    int reads = 0;
    // By server and user, a line break between.
    QHash<QString, QString> passwords;

private:
    std::vector<std::function<void()>> m_waiting;

    void check() const
    {
        if (!available)
            throw Unavailable("no keyring");
    }
};
