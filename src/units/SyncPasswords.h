#pragma once

#include <QHash>
#include <QString>

#include <optional>

class SecretStore;
class QWidget;

// The sync account's password: in the keyring, or, when no keyring can be reached, in this session's memory alone,
// which the user is told once.
class SyncPasswords
{
public:
    explicit SyncPasswords(SecretStore& store) : m_store(store) {}

    // The password kept for the user on the server; none when neither the keyring nor the session has one.
    std::optional<QString> find(QWidget* parent, const QString& server, const QString& user);
    // Keeps the password; an empty one is forgotten.
    void keep(QWidget* parent, const QString& server, const QString& user, const QString& password);
    void forget(QWidget* parent, const QString& server, const QString& user);

    static QString unavailableText();

private:
    // Notes that the keyring failed: the user is told the first time.
    void tellUnavailable(QWidget* parent);

    SecretStore& m_store;
    QHash<QString, QString> m_session;
    bool m_told = false;
};
