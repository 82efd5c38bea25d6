#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QWidget>
#include <QWindow>

// Ends the event loop as soon as a window is on the screen and active: where the start-up measurements stop, the
// program's and the bare window's it is measured against. Only in a header, so that the bare window links Qt
// Widgets alone and loads none of the program's libraries.
namespace QuitWhenShown {

// The window's first expose comes after it is mapped and laid out, and its first activation, which the window
// manager gives a new window, is when the main window lists the diary: the quit waits for both, whichever comes
// last, so that a start-up is measured whole however the two are ordered. The quit is queued, after the
// activation's own handling.
class ShowWatch : public QObject
{
public:
    explicit ShowWatch(QWidget& window) : QObject(&window), m_window(window) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            m_exposed = true;
        else if (event->type() == QEvent::ActivationChange && m_window.isActiveWindow())
            m_activated = true;
        else
            return false;
        if (m_exposed && m_activated)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return false;
    }

private:
    QWidget& m_window;
    bool m_exposed = false;
    bool m_activated = false;
};

inline void watch(QWidget& window)
{
    window.winId();
    auto* watch = new ShowWatch(window);
    window.windowHandle()->installEventFilter(watch);
    window.installEventFilter(watch);
}

} // namespace QuitWhenShown
