#include "platform/SystemTrayIcon.h"

#include <QCursor>

SystemTrayIcon::SystemTrayIcon(const QIcon& icon, const QString& tip, QObject* parent)
    : TrayIcon(parent), m_picture(icon), m_tip(tip)
{
}

SystemTrayIcon::~SystemTrayIcon() = default;

bool SystemTrayIcon::add()
{
    // Without a tray host, or without a picture, Qt still reports the icon as visible; the caller must know
    // there is nothing to click.
    if (!QSystemTrayIcon::isSystemTrayAvailable() || m_picture.isNull())
        return false;
    if (!m_icon) {
        // Made at the first add, which the main window's FormCreate makes at start-up; where the desktop has no
        // tray none is ever made.
        m_icon = std::make_unique<QSystemTrayIcon>(m_picture);
        m_icon->setToolTip(m_tip);
        connect(m_icon.get(), &QSystemTrayIcon::activated, this, &SystemTrayIcon::activated);
    }
    m_icon->show();
    return true;
}

void SystemTrayIcon::remove()
{
    if (m_icon)
        m_icon->hide();
}

bool SystemTrayIcon::isPresent() const
{
    return m_icon && m_icon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayIcon::notify(const QString& title, const QString& text)
{
    if (isPresent() && QSystemTrayIcon::supportsMessages())
        m_icon->showMessage(title, text, m_picture);
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
