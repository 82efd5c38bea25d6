#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A notification service of the test's own on a bus, as a desktop runs one: it records every Notify and
// CloseNotification call, and the test sends its signals as a user's click would.
class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call
    {
        QString appName;
        uint replacesId;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout;
        // The id the service answered with.
        uint id;
    };

    // Serves on the connection; false from isServing() when the name or the object could not be had.
    explicit NotificationServer(QDBusConnection bus);

    bool isServing() const { return m_serving; }
    const QList<Call>& notified() const { return m_notified; }
    const QList<uint>& closed() const { return m_closed; }

    // The user chose the action on the notification.
    void choose(uint id, const QString& action) { emit ActionInvoked(id, action); }
    // The user closed the notification.
    void dismiss(uint id) { emit NotificationClosed(id, 2); }

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout);
    void CloseNotification(uint id);
    QStringList GetCapabilities() const;
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) const;

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    QList<Call> m_notified;
    QList<uint> m_closed;
    uint m_lastId = 0;
    bool m_serving = false;
};
