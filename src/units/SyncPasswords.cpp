#include "units/SyncPasswords.h"

#include "platform/MessageBoxes.h"
#include "platform/SecretStore.h"

#include <QWidget>

namespace {

QString keyOf(const QString& server, const QString& user)
{
    return user + u'@' + server;
}

} // namespace

QString SyncPasswords::unavailableText()
{
    return QStringLiteral("Хранилище паролей рабочего стола недоступно: пароль синхронизации не будет сохранён, "
                          "программа спросит его в каждом сеансе.");
}

bool SyncPasswords::isKnown(const QString& server, const QString& user) const
{
    return m_known.contains(keyOf(server, user));
}

std::optional<QString> SyncPasswords::known(const QString& server, const QString& user) const
{
    return m_known.value(keyOf(server, user));
}

void SyncPasswords::read(QWidget* parent, const QString& server, const QString& user)
{
    const QString key = keyOf(server, user);
    if (m_known.contains(key) || m_reading.contains(key))
        return;
    m_reading.insert(key);
    m_store.read(server, user, this,
                 [this, key, parent = QPointer<QWidget>(parent)](const SecretStore::Answer& answer) {
                     // A password kept or forgotten while the keyring was being asked is newer than what it answers.
                     if (!m_reading.remove(key))
                         return;
                     if (answer.unavailable)
                         tellUnavailable(parent);
                     m_known.insert(key, answer.password);
                     emit answered();
                 });
}

void SyncPasswords::keep(QWidget* parent, const QString& server, const QString& user, const QString& password)
{
    if (password.isEmpty()) {
        forget(parent, server, user);
        return;
    }
    const QString key = keyOf(server, user);
    m_reading.remove(key);
    m_known.insert(key, password);
    try {
        m_store.store(server, user, password);
    } catch (const SecretStore::Unavailable&) {
        tellUnavailable(parent);
    }
}

void SyncPasswords::forget(QWidget* parent, const QString& server, const QString& user)
{
    const QString key = keyOf(server, user);
    m_reading.remove(key);
    m_known.insert(key, std::nullopt);
    try {
        m_store.forget(server, user);
    } catch (const SecretStore::Unavailable&) {
        tellUnavailable(parent);
    }
}

void SyncPasswords::tellUnavailable(QWidget* parent)
{
    if (m_told)
        return;
    m_told = true;
    MessageBoxes::tell(parent, QStringLiteral("Синхронизация"), unavailableText(), MessageBoxes::Icon::Information);
}
