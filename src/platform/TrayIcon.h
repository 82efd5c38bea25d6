#pragma once

#include <QObject>
#include <QPoint>

// The program's icon in the desktop's notification area. Adding an icon that is there and removing one that is
// not are harmless, so callers never track it themselves.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    enum class Mouse { LeftClick, DoubleClick, RightClick, Other };
    Q_ENUM(Mouse)

    using QObject::QObject;

    // Returns whether the icon is in the tray afterwards: false when the desktop has no tray to put it in.
    virtual bool add() = 0;
    virtual void remove() = 0;
    virtual bool isPresent() const = 0;
    // A short desktop notification from the icon, where the desktop shows them; nothing when the icon is absent.
    virtual void notify(const QString& title, const QString& text) = 0;

signals:
    // A mouse event over the icon, with the pointer's position on the screen at that moment.
    void mouse(TrayIcon::Mouse event, const QPoint& globalPos);
};
