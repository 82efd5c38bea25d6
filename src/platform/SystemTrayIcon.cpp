#include "SystemTrayIcon.h"

#include <QCursor>

SystemTrayIcon::SystemTrayIcon(const QIcon& icon, const QString& tip, QObject* parent) : TrayIcon(parent), m_icon(icon)
{
    m_icon.setToolTip(tip);
    connect(&m_icon, &QSystemTrayIcon::activated, this, &SystemTrayIcon::activated);
}

bool SystemTrayIcon::add()
{
    // Without a tray host, or without a picture, Qt still reports the icon as visible; the caller must know
    // there is nothing to click.
    if (!QSystemTrayIcon::isSystemTrayAvailable() || m_icon.icon().isNull())
        return false;
    m_icon.show();
    return true;
}

void SystemTrayIcon::remove()
{
    m_icon.hide();
}

bool SystemTrayIcon::isPresent() const
{
    return m_icon.isVisible() && QSystemTrayIcon::isSystemTrayAvailable() && !m_icon.icon().isNull();
}

void SystemTrayIcon::notify(const QString& title, const QString& text)
{
    if (isPresent() && QSystemTrayIcon::supportsMessages())
        m_icon.showMessage(title, text, m_icon.icon());
}

void SystemTrayIcon::activated(QSystemTrayIcon::ActivationReason reason)
{
    Mouse event = Mouse::Other;
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        event = Mouse::LeftClick;
        break;
    case QSystemTrayIcon::DoubleClick:
        event = Mouse::DoubleClick;
        break;
    case QSystemTrayIcon::Context:
        event = Mouse::RightClick;
        break;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
    emit mouse(event, QCursor::pos());
}
