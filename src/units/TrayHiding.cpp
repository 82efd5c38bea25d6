#include "units/TrayHiding.h"

#include <QEvent>
#include <QMenu>
#include <QWidget>
#include <QWindowStateChangeEvent>

TrayHiding::TrayHiding(QWidget& window, TrayIcon& tray, QMenu& menu)
    : QObject(&window), m_window(window), m_tray(tray), m_menu(menu)
{
    connect(&m_tray, &TrayIcon::mouse, this, &TrayHiding::trayIconMessage);
    m_window.installEventFilter(this);
}

void TrayHiding::addIcon()
{
    m_tray.add();
}

void TrayHiding::removeIcon()
{
    m_tray.remove();
}

void TrayHiding::hideToTray()
{
    if (m_tray.add())
        m_window.hide();
    else
        m_window.showMinimized();
}

void TrayHiding::showFromTray()
{
    m_tray.remove();
    m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

void TrayHiding::trayIconMessage(TrayIcon::Mouse event, const QPoint& globalPos)
{
    switch (event) {
    case TrayIcon::Mouse::DoubleClick:
        showFromTray();
        break;
    case TrayIcon::Mouse::RightClick:
        m_menu.popup(globalPos);
        break;
    case TrayIcon::Mouse::LeftClick:
    case TrayIcon::Mouse::Other:
        break;
    }
}

bool TrayHiding::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        // Later, because whoever minimised the window may still be about to show it (showMinimized() does).
        if (!(change->oldState() & Qt::WindowMinimized) && m_window.isMinimized())
            QMetaObject::invokeMethod(this, &TrayHiding::minimised, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void TrayHiding::minimised()
{
    // Without a tray the window stays minimised on the taskbar.
    if (m_window.isMinimized() && m_window.isVisible() && m_tray.add())
        m_window.hide();
}
