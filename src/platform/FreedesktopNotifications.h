#pragma once

#include "platform/DesktopNotifications.h"

#include <QDBusConnection>

#include <map>
#include <optional>

class QDBusPendingCallWatcher;

// Desktop notifications through the org.freedesktop.Notifications service on a D-Bus session bus. Every call is
// asynchronous, so a slow or hung service never holds up the window; the service's ids are kept per key, and its
// ActionInvoked and NotificationClosed signals are matched to the keys by those ids. The session bus is connected at
// the first notification, not at start-up: connecting waits on the bus (or, with none, on an attempt to launch one),
// and most runs of the program never notify.
class FreedesktopNotifications : public DesktopNotifications
{
    Q_OBJECT

public:
    // On the session bus.
    explicit FreedesktopNotifications(QObject* parent = nullptr);
    explicit FreedesktopNotifications(const QDBusConnection& bus, QObject* parent = nullptr);

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
    // The bus, connected and listening for the service's signals at the first call.
    QDBusConnection& bus();

    std::optional<QDBusConnection> m_bus;
    bool m_listening = false;
    std::map<int, Slot> m_slots;
};
