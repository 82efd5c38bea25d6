#pragma once

#include "platform/TrayIcon.h"

#include <QObject>

class QMenu;
class QWidget;

// Moves the main window between the screen and the tray: hidden with the icon in the tray, shown with the icon
// gone, and both at start-up. Minimising the window hides it too. Where the desktop has no tray the window is
// only ever minimised, never hidden, so there is always a way back to it.
class TrayHiding : public QObject
{
    Q_OBJECT

public:
    // The menu opens at the pointer on a right click on the icon. Watches the window for being minimised.
    TrayHiding(QWidget& window, TrayIcon& tray, QMenu& menu);

    void addIcon();
    void removeIcon();
    void hideToTray();
    void showFromTray();
    void trayIconMessage(TrayIcon::Mouse event, const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void minimised();

    QWidget& m_window;
    TrayIcon& m_tray;
    QMenu& m_menu;
};
