#pragma once

#include "platform/TrayIcon.h"

#include <QStringList>

// A tray the test controls: whether the desktop has one, and the mouse events over the icon. Records every call.
class FakeTray : public TrayIcon
{
    Q_OBJECT

public:
    explicit FakeTray(bool available = true) : m_available(available) {}

    bool add() override;
    void remove() override;
    bool isPresent() const override { return m_present; }
    void notify(const QString& title, const QString& text) override;

    void setAvailable(bool available) { m_available = available; }
    void fire(Mouse event, const QPoint& globalPos = {}) { emit mouse(event, globalPos); }
    const QStringList& calls() const { return m_calls; }
    // "title: text" of every notification shown while the icon was present.
    const QStringList& notifications() const { return m_notifications; }

private:
    bool m_available;
    bool m_present = false;
    QStringList m_calls;
    QStringList m_notifications;
};
