#pragma once

#include "engine/ServerWait.h"

#include <QDialog>
#include <QObject>
#include <QPointer>

// The window's side of a wait for the server. A wait of a tenth of a second or less blocks; a longer one runs the
// window's event loop, so the windows keep painting, but takes no input: input to any window but the wait's own box
// is dropped, and what the loop would otherwise run of the program (timers, socket notifiers) is held until the
// wait ends. Queued calls can't be held: what they reach of the diary runs through ServerWait::whenIdle(). After
// busyCursorDelay the cursor shows the program is busy; after boxDelay a small box says that the program waits for
// the server, with "Отмена" to cancel. A quiet wait shows neither.
class WindowServerWait : public QObject, public ServerWait
{
    Q_OBJECT

public:
    static constexpr int busyCursorDelay = 300;
    static constexpr int boxDelay = 2000;
    // How long a wait blocks before the event loop runs.
    static constexpr int blockingWait = 100;

    // Tests shorten the delays.
    explicit WindowServerWait(int cursorDelay = busyCursorDelay, int boxShownAfter = boxDelay);

    std::unique_ptr<Operation> begin(bool quiet) override;

    // The box of the wait in progress, nullptr while none is shown.
    QDialog* box() const { return m_box; }

    static inline const QString boxText = QStringLiteral("Ожидание ответа сервера…");
    static inline const QString cancelText = QStringLiteral("Отмена");

signals:
    // The box is on the screen.
    void boxShown(QDialog* box);

private:
    friend class WindowWaitOperation;
    int m_cursorDelay;
    int m_boxDelay;
    QPointer<QDialog> m_box;
};
