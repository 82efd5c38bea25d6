#include "units/FirstPaint.h"

#include <QEvent>
#include <QTimer>
#include <QWindow>

void FirstPaint::then(QWidget& window, QObject& context, std::function<void()> call)
{
    new FirstPaint(window, context, std::move(call));
}

FirstPaint::FirstPaint(QWidget& window, QObject& context, std::function<void()> call)
    : QObject(&context), m_window(&window), m_call(std::move(call))
{
    window.installEventFilter(this);
}

bool FirstPaint::eventFilter(QObject* watched, QEvent* event)
{
    // The window's native half is made as it is first shown and painted at its first expose.
    if (watched == m_window && event->type() == QEvent::Show && m_window->windowHandle()) {
        m_window->removeEventFilter(this);
        m_window->windowHandle()->installEventFilter(this);
        QTimer::singleShot(patienceMilliseconds, this, &FirstPaint::run);
    } else if (m_window && watched == m_window->windowHandle() && event->type() == QEvent::Expose &&
               m_window->windowHandle()->isExposed()) {
        watched->removeEventFilter(this);
        // Queued: the paint itself comes after the filters have seen the expose.
        QMetaObject::invokeMethod(this, &FirstPaint::run, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void FirstPaint::run()
{
    if (!m_call)
        return;
    const std::function<void()> call = std::move(m_call);
    m_call = nullptr;
    deleteLater();
    call();
}
