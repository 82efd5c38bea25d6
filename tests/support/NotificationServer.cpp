#include "support/NotificationServer.h"

NotificationServer::NotificationServer(QDBusConnection bus)
{
    m_serving = bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
                bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint NotificationServer::Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                                const QString& body, const QStringList& actions, const QVariantMap& hints,
                                int expireTimeout)
{
    // As the protocol has it: a notification on the screen is replaced under its id, anything else gets a new one.
    bool onScreen = false;
    for (const Call& call : m_notified)
        onScreen = onScreen || call.id == replacesId;
    onScreen = onScreen && replacesId != 0 && !m_closed.contains(replacesId);
    const uint id = onScreen ? replacesId : ++m_lastId;
    m_notified.append({appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout, id});
    return id;
}

void NotificationServer::CloseNotification(uint id)
{
    m_closed.append(id);
}

QStringList NotificationServer::GetCapabilities() const
{
    return {QStringLiteral("actions"), QStringLiteral("body")};
}

QString NotificationServer::GetServerInformation(QString& vendor, QString& version, QString& specVersion) const
{
    vendor = QStringLiteral("tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("NotificationServer");
}
