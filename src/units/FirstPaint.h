#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

// Start-up work that the window need not wait for: run once the window has been painted for the first time, which
// comes from the window system some moments after show() (a timer of no delay set at show() runs before it).
class FirstPaint : public QObject
{
    Q_OBJECT

public:
    // A window shown but never painted (on another workspace) has the call run this long after it was shown.
    static constexpr int patienceMilliseconds = 1000;

    // Runs call once, just after the window's first paint; set before the window is first shown. The call is
    // dropped with context.
    static void then(QWidget& window, QObject& context, std::function<void()> call);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FirstPaint(QWidget& window, QObject& context, std::function<void()> call);
    void run();

    QPointer<QWidget> m_window;
    std::function<void()> m_call;
};
