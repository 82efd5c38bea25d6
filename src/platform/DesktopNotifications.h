#pragma once

#include <QList>
#include <QObject>
#include <QString>

// Notifications shown by the desktop's notification service, each under a key the caller chooses: showing under a
// key replaces what that key showed before, so a notification sent again never piles up beside the old one.
class DesktopNotifications : public QObject
{
    Q_OBJECT

public:
    struct Action
    {
        // What actionInvoked() reports; "default" is also what a click on the notification itself chooses.
        QString id;
        QString label;
    };
    struct Notification
    {
        QString summary;
        // Plain text; lines are separated by "\n".
        QString body;
        QList<Action> actions;
    };

    using QObject::QObject;

    virtual void show(int key, const Notification& notification) = 0;
    // Takes the key's notification off the screen; nothing when it has none.
    virtual void close(int key) = 0;

signals:
    // The user chose an action on the key's notification.
    void actionInvoked(int key, const QString& action);
    // No service took the key's notification (no session bus, or nobody serves notifications on it), so the caller
    // tells the user another way. May come after show() returned.
    void undelivered(int key);
};
