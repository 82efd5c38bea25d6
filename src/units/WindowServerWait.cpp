#include "units/WindowServerWait.h"

#include "look/ProgramLook.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <poll.h>

#include <algorithm>
#include <vector>

namespace {

using Clock = ServerWait::Clock;
using Outcome = ServerWait::Outcome;

// What the user does to a window: none of it may reach one during a wait but the wait's box.
bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

// Whether the socket is ready before the deadline, waiting in the thread.
bool readyBefore(int socket, ServerWait::Direction direction, Clock::time_point deadline)
{
    pollfd watched{socket, static_cast<short>(direction == ServerWait::Direction::Read ? POLLIN : POLLOUT), 0};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = poll(&watched, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (ready != 0 || left <= 0)
            return ready != 0;
    }
}

} // namespace

class WindowWaitOperation : public QObject, public ServerWait::Operation
{
public:
    WindowWaitOperation(WindowServerWait& owner, bool quiet) : m_owner(owner), m_quiet(quiet)
    {
        m_tick.setSingleShot(true);
        QObject::connect(&m_tick, &QTimer::timeout, this, &WindowWaitOperation::tick);
    }

    ~WindowWaitOperation() override
    {
        QCoreApplication::instance()->removeEventFilter(this);
        if (m_busyCursor)
            QGuiApplication::restoreOverrideCursor();
        delete m_box;
        releaseHeld();
    }

    Outcome waitFor(int socket, ServerWait::Direction direction, Clock::time_point deadline) override
    {
        // A short wait is not worth running the event loop, whatever that would run.
        const auto blockUntil = std::min(deadline, m_start + std::chrono::milliseconds(WindowServerWait::blockingWait));
        if (readyBefore(socket, direction, blockUntil))
            return Outcome::Ready;
        if (Clock::now() >= deadline)
            return Outcome::TimedOut;

        QSocketNotifier notifier(socket, direction == ServerWait::Direction::Read ? QSocketNotifier::Read
                                                                                  : QSocketNotifier::Write);
        QEventLoop loop;
        m_notifier = &notifier;
        m_loop = &loop;
        m_deadline = deadline;
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop,
                         [&loop] { loop.exit(static_cast<int>(Outcome::Ready)); });
        QCoreApplication::instance()->installEventFilter(this);
        tick();
        const auto outcome = static_cast<Outcome>(loop.exec());
        m_tick.stop();
        m_loop = nullptr;
        m_notifier = nullptr;
        return outcome;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_tick || watched == m_notifier || watched == this || belongsToBox(watched))
            return false;
        if (isInput(event->type())) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::Timer)
            return holdTimer(watched, static_cast<QTimerEvent*>(event)->timerId());
        if (event->type() == QEvent::SockAct) {
            if (auto* notifier = qobject_cast<QSocketNotifier*>(watched)) {
                // Level-triggered: enabled again after the wait, it fires then.
                notifier->setEnabled(false);
                m_notifiers.emplace_back(notifier);
                return true;
            }
        }
        return false;
    }

private:
    struct HeldTimer
    {
        QPointer<QObject> object;
        int id;
        qint64 interval;
        Qt::TimerType type;
    };

    bool belongsToBox(QObject* watched) const
    {
        if (!m_box)
            return false;
        if (watched == m_box->windowHandle())
            return true;
        const auto* widget = qobject_cast<const QWidget*>(watched);
        return widget && (widget == m_box || m_box->isAncestorOf(widget));
    }

    // The program's timers (QTimer, QTimer::singleShot) wait for the end of the wait; the widgets' and windows'
    // own, which paint, go on.
    bool holdTimer(QObject* watched, int id)
    {
        const bool programs =
            qobject_cast<QTimer*>(watched) || qstrcmp(watched->metaObject()->className(), "QSingleShotTimer") == 0;
        if (!programs)
            return false;
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        HeldTimer held{watched, id, -1, Qt::CoarseTimer};
        for (const QAbstractEventDispatcher::TimerInfo& info : dispatcher->registeredTimers(watched)) {
            if (info.timerId == id) {
                held.interval = info.interval;
                held.type = info.timerType;
                dispatcher->unregisterTimer(id);
            }
        }
        m_timers.push_back(held);
        return true;
    }

    // What came due during the wait comes now, once.
    void releaseHeld()
    {
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        for (const HeldTimer& held : m_timers) {
            if (!held.object)
                continue;
            // A timer stopped or started anew meanwhile has left that id behind.
            if (const auto* timer = qobject_cast<QTimer*>(held.object.data()); timer && timer->timerId() != held.id)
                continue;
            if (held.interval >= 0)
                dispatcher->registerTimer(held.id, held.interval, held.type, held.object);
            QCoreApplication::postEvent(held.object, new QTimerEvent(held.id));
        }
        m_timers.clear();
        for (const QPointer<QSocketNotifier>& notifier : m_notifiers)
            if (notifier)
                notifier->setEnabled(true);
        m_notifiers.clear();
    }

    // Shows what the time waited calls for and arms the next moment.
    void tick()
    {
        const Clock::time_point now = Clock::now();
        if (now >= m_deadline) {
            if (m_loop)
                m_loop->exit(static_cast<int>(Outcome::TimedOut));
            return;
        }
        Clock::time_point next = m_deadline;
        if (!m_quiet) {
            const auto cursorAt = m_start + std::chrono::milliseconds(m_owner.m_cursorDelay);
            const auto boxAt = m_start + std::chrono::milliseconds(m_owner.m_boxDelay);
            if (!m_busyCursor && now >= cursorAt) {
                QGuiApplication::setOverrideCursor(Qt::WaitCursor);
                m_busyCursor = true;
            }
            if (!m_box && !m_cancelled && now >= boxAt)
                showBox();
            if (!m_busyCursor)
                next = std::min(next, cursorAt);
            if (!m_box && !m_cancelled)
                next = std::min(next, boxAt);
        }
        m_tick.start(
            static_cast<int>(std::max<long long>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count(), 0)));
    }

    void showBox()
    {
        m_box = new QDialog(QApplication::activeWindow());
        m_box->setWindowTitle(ProgramLook::title());
        m_box->setWindowModality(Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(m_box);
        layout->addWidget(new QLabel(WindowServerWait::boxText, m_box));
        auto* buttons = new QDialogButtonBox(m_box);
        buttons->addButton(WindowServerWait::cancelText, QDialogButtonBox::RejectRole);
        layout->addWidget(buttons);
        QObject::connect(buttons, &QDialogButtonBox::rejected, m_box, &QDialog::reject);
        // Esc and closing the box cancel too.
        QObject::connect(m_box, &QDialog::rejected, this, &WindowWaitOperation::cancel);
        // The busy cursor gets its arrow back, to reach the button.
        if (m_busyCursor)
            QGuiApplication::changeOverrideCursor(Qt::BusyCursor);
        m_box->show();
        m_owner.m_box = m_box;
        emit m_owner.boxShown(m_box);
    }

    void cancel()
    {
        if (m_cancelled)
            return;
        // The box, hidden by now, goes with the operation: it is on the stack of its own button's click.
        m_cancelled = true;
        if (m_loop)
            m_loop->exit(static_cast<int>(Outcome::Cancelled));
    }

    WindowServerWait& m_owner;
    const bool m_quiet;
    const Clock::time_point m_start = Clock::now();
    Clock::time_point m_deadline;
    QTimer m_tick;
    QEventLoop* m_loop = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    QPointer<QDialog> m_box;
    bool m_busyCursor = false;
    bool m_cancelled = false;
    std::vector<HeldTimer> m_timers;
    std::vector<QPointer<QSocketNotifier>> m_notifiers;
};

WindowServerWait::WindowServerWait(int cursorDelay, int boxShownAfter)
    : m_cursorDelay(cursorDelay), m_boxDelay(boxShownAfter)
{
}

std::unique_ptr<ServerWait::Operation> WindowServerWait::begin(bool quiet)
{
    return std::make_unique<WindowWaitOperation>(*this, quiet);
}
