#include "units/SyncPasswords.h"

#include "platform/MessageBoxes.h"
#include "platform/SecretStore.h"

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

std::optional<QString> SyncPasswords::find(QWidget* parent, const QString& server, const QString& user)
{
    const auto kept = m_session.constFind(keyOf(server, user));
    if (kept != m_session.constEnd())
        return *kept;
    try {
        return m_store.read(server, user);
    } catch (const SecretStore::Unavailable&) {
        tellUnavailable(parent);
        return std::nullopt;
    }
}

void SyncPasswords::keep(QWidget* parent, const QString& server, const QString& user, const QString& password)
{
    if (password.isEmpty()) {
        forget(parent, server, user);
        return;
    }
    const QString key = keyOf(server, user);
    try {
        m_store.store(server, user, password);
        m_session.remove(key);
    } catch (const SecretStore::Unavailable&) {
        tellUnavailable(parent);
        m_session.insert(key, password);
    }
}

void SyncPasswords::forget(QWidget* parent, const QString& server, const QString& user)
{
    m_session.remove(keyOf(server, user));
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
