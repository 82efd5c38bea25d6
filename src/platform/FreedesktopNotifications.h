#pragma once

#include "platform/DesktopNotifications.h"

#include <QDBusConnection>

#include <map>
#include <optional>

class QDBusPendingCallWatcher;

// Desktop notifications through the org.freedesktop.Notifications service on a D-Bus session bus. Every call is
// asynchronous, so a slow or hung service never holds up the window; the service's ids are kept per key, and its
// ActionInvoked and NotificationClosed signals are matched to the keys by those ids.
class FreedesktopNotifications : public DesktopNotifications
{
    Q_OBJECT

public:
    explicit FreedesktopNotifications(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                      QObject* parent = nullptr);

    void show(int key, const Notification& notification) override;
    void close(int key) override;

    // How long a Notify call may go unanswered before the notification counts as undelivered.
    static constexpr int replyTimeoutMilliseconds = 5000;

private slots:
    void actionInvokedOnBus(uint id, const QString& action);
    void notificationClosedOnBus(uint id, uint reason);

private:
    struct Slot
    {
        // The service's id of the key's notification on the screen, 0 for none.
        uint id = 0;
        // A Notify call is on its way: what comes meanwhile waits for its id, so it replaces rather than adds.
        bool waiting = false;
        std::optional<Notification> next;
        bool closeWhenAnswered = false;
    };

    void send(int key, const Notification& notification);
    void answered(int key, QDBusPendingCallWatcher& call);
    void undeliveredLater(int key);

    QDBusConnection m_bus;
    std::map<int, Slot> m_slots;
};
