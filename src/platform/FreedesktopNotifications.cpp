#include "platform/FreedesktopNotifications.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
// The name the program's icon and desktop entry are installed under, which the service looks up in the icon theme
// and the application menu.
const QString installedName = QStringLiteral("chronoteka");

QDBusMessage call(const QString& method)
{
    return QDBusMessage::createMethodCall(service, path, interface, method);
}

} // namespace

FreedesktopNotifications::FreedesktopNotifications(QObject* parent) : DesktopNotifications(parent) {}

FreedesktopNotifications::FreedesktopNotifications(const QDBusConnection& bus, QObject* parent)
    : DesktopNotifications(parent), m_bus(bus)
{
}

QDBusConnection& FreedesktopNotifications::bus()
{
    if (m_listening)
        return *m_bus;
    m_listening = true;
    if (!m_bus)
        m_bus = QDBusConnection::sessionBus();
    if (m_bus->isConnected()) {
        // Qt DBus connects bus signals by their signature text only. The signals go to every client of the service,
        // so only the ids this object was given are taken.
        m_bus->connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                       SLOT(actionInvokedOnBus(uint, QString)));
        m_bus->connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                       SLOT(notificationClosedOnBus(uint, uint)));
    }
    return *m_bus;
}

void FreedesktopNotifications::show(int key, const Notification& notification)
{
    if (!bus().isConnected()) {
        undeliveredLater(key);
        return;
    }
    Slot& slot = m_slots[key];
    slot.closeWhenAnswered = false;
    if (slot.waiting) {
        slot.next = notification;
        return;
    }
    send(key, notification);
}

void FreedesktopNotifications::close(int key)
{
    const auto found = m_slots.find(key);
    if (found == m_slots.end())
        return;
    Slot& slot = found->second;
    if (slot.waiting) {
        slot.next.reset();
        slot.closeWhenAnswered = true;
        return;
    }
    if (slot.id == 0)
        return;
    QDBusMessage closing = call(QStringLiteral("CloseNotification"));
    closing << slot.id;
    // Nothing is done with the answer: a notification the user closed already is no error worth telling.
    bus().asyncCall(closing, replyTimeoutMilliseconds);
    slot.id = 0;
}

void FreedesktopNotifications::send(int key, const Notification& notification)
{
    QStringList actions;
    for (const Action& action : notification.actions)
        actions << action.id << action.label;
    // Services that take markup in the body (nearly all) would read "<" and "&" in an event's name as markup.
    const QString body = notification.body.toHtmlEscaped();
    const QVariantMap hints{{QStringLiteral("desktop-entry"), installedName}};
    Slot& slot = m_slots[key];
    QDBusMessage notify = call(QStringLiteral("Notify"));
    notify << QCoreApplication::applicationName() << slot.id << installedName << notification.summary << body << actions
           << hints << -1;
    slot.waiting = true;
    auto* watcher = new QDBusPendingCallWatcher(bus().asyncCall(notify, replyTimeoutMilliseconds), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, key](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        answered(key, *finished);
    });
}

void FreedesktopNotifications::answered(int key, QDBusPendingCallWatcher& call)
{
    Slot& slot = m_slots[key];
    slot.waiting = false;
    const QDBusPendingReply<uint> reply = call;
    if (reply.isError()) {
        // What waited would meet the same absent service; the caller tells of the latest its own way.
        slot.id = 0;
        slot.next.reset();
        slot.closeWhenAnswered = false;
        emit undelivered(key);
        return;
    }
    slot.id = reply.value();
    if (slot.closeWhenAnswered) {
        slot.closeWhenAnswered = false;
        close(key);
    } else if (slot.next) {
        const Notification next = *slot.next;
        slot.next.reset();
        send(key, next);
    }
}

void FreedesktopNotifications::undeliveredLater(int key)
{
    QMetaObject::invokeMethod(
        this, [this, key] { emit undelivered(key); }, Qt::QueuedConnection);
}

void FreedesktopNotifications::actionInvokedOnBus(uint id, const QString& action)
{
    for (const auto& [key, slot] : m_slots) {
        if (id != 0 && slot.id == id) {
            emit actionInvoked(key, action);
            return;
        }
    }
}

void FreedesktopNotifications::notificationClosedOnBus(uint id, uint)
{
    for (auto& [key, slot] : m_slots) {
        if (id != 0 && slot.id == id)
            slot.id = 0;
    }
}
