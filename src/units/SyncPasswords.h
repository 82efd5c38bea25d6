#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <optional>

class SecretStore;
class QWidget;

// The sync account's password: read from the keyring once a session, without waiting for it, and kept in this
// session's memory; when no keyring can be reached, in memory alone, which the user is told once.
class SyncPasswords : public QObject
{
    Q_OBJECT

public:
    explicit SyncPasswords(SecretStore& store, QObject* parent = nullptr) : QObject(parent), m_store(store) {}

    // Whether the keyring has answered for the user on the server this session, or a password was kept or forgotten.
    bool isKnown(const QString& server, const QString& user) const;
    // The password known for the user on the server; none when it is not known or none is kept.
    std::optional<QString> known(const QString& server, const QString& user) const;
    // Asks the keyring, unless the password is known or already asked for; answered() tells when the keyring has.
    void read(QWidget* parent, const QString& server, const QString& user);
    // Keeps the password; an empty one is forgotten.
    void keep(QWidget* parent, const QString& server, const QString& user, const QString& password);
    void forget(QWidget* parent, const QString& server, const QString& user);

    static QString unavailableText();

signals:
    void answered();

private:
    // Notes that the keyring failed: the user is told the first time.
    void tellUnavailable(QWidget* parent);

    SecretStore& m_store;
    // By user and server: the password, or none kept.
    QHash<QString, std::optional<QString>> m_known;
    // Those asked of the keyring and not answered yet.
    QSet<QString> m_reading;
    bool m_told = false;
};
