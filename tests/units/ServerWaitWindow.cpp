// The window through a wait for the server: it paints, takes no input, holds the program's timers and what queued
// calls ask of the diary until the wait is over, shows a box with "Отмена" after a while, and Отмена ends the wait.
#include "databind/RecordSet.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/postgres/ServerSchema.h"
#include "support/ErrorOf.h"
#include "support/QtPrinters.h"
#include "engine/postgres/ServerSession.h"
#include "support/ServerDatabase.h"
#include "support/TcpProxy.h"
#include "units/WindowServerWait.h"

#include <QElapsedTimer>

#include <QDialog>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Installs a wait for one test, and puts back the program's.
class InstalledWait
{
public:
    InstalledWait(int cursorDelay, int boxDelay) : m_wait(cursorDelay, boxDelay), m_before(ServerWait::install(&m_wait))
    {
    }
    ~InstalledWait() { ServerWait::install(m_before); }
    WindowServerWait& operator*() { return m_wait; }

private:
    WindowServerWait m_wait;
    ServerWait* m_before;
};

// The session's deadline for one test.
struct AnswerLimit
{
    explicit AnswerLimit(std::chrono::milliseconds limit) { ServerSession::setAnswerLimit(limit); }
    ~AnswerLimit() { ServerSession::setAnswerLimit(ServerSession::defaultAnswerLimit); }
};

// Clicks the box's Отмена as the user would, once the box is on the screen.
void cancelIn(QDialog* box)
{
    QPushButton* cancel = box->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), WindowServerWait::cancelText);
    QMetaObject::invokeMethod(
        cancel, [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); }, Qt::QueuedConnection);
}

// A window that counts what reaches it; its first paint after ready() ends the wait by writing to the socket.
class Probe : public QWidget
{
public:
    int paints = 0;
    int input = 0;
    int endingSocket = -1;
    bool busyCursorShown = false;

protected:
    void paintEvent(QPaintEvent*) override
    {
        ++paints;
        if (endingSocket < 0)
            return;
        const QCursor* cursor = QGuiApplication::overrideCursor();
        busyCursorShown = cursor && cursor->shape() == Qt::WaitCursor;
        ASSERT_EQ(write(std::exchange(endingSocket, -1), "x", 1), 1);
    }
    void mousePressEvent(QMouseEvent*) override { ++input; }
    void keyPressEvent(QKeyEvent*) override { ++input; }
};

} // namespace

TEST(ServerWaitWindow, DuringAWaitTheWindowPaintsTakesNoInputAndHoldsTheProgramsWork)
{
    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    InstalledWait wait(0, 60000);
    Probe window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTimer programTimer;
    programTimer.setSingleShot(true);
    programTimer.setInterval(0);
    bool timerFired = false;
    bool timerFiredWhileWaiting = false;
    QObject::connect(&programTimer, &QTimer::timeout, [&] {
        timerFired = true;
        timerFiredWhileWaiting = ServerWait::inProgress();
    });
    bool diaryTouched = false;
    bool diaryTouchedWhileWaiting = false;
    // As a queued call or a bus signal comes during the wait: it clicks, types, asks for a paint, starts a timer of
    // the program's and asks for the diary.
    QMetaObject::invokeMethod(
        &window,
        [&] {
            QTest::mouseClick(&window, Qt::LeftButton);
            QTest::keyClick(&window, Qt::Key_A);
            programTimer.start();
            ServerWait::whenIdle(&window, [&] {
                diaryTouched = true;
                diaryTouchedWhileWaiting = ServerWait::inProgress();
            });
            window.endingSocket = sockets[1];
            window.update();
        },
        Qt::QueuedConnection);
    const int paintsBefore = window.paints;
    ServerWait::Outcome outcome;
    {
        const ServerWait::InProgress busy;
        const auto operation = (*wait).begin(false);
        outcome = operation->waitFor(sockets[0], ServerWait::Direction::Read, ServerWait::Clock::now() + 10s);
        EXPECT_FALSE(timerFired);
        EXPECT_FALSE(diaryTouched);
    }
    EXPECT_EQ(outcome, ServerWait::Outcome::Ready) << "the window did not paint during the wait";
    EXPECT_GT(window.paints, paintsBefore);
    EXPECT_TRUE(window.busyCursorShown);
    EXPECT_EQ(window.input, 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    QTRY_VERIFY(timerFired && diaryTouched);
    EXPECT_FALSE(timerFiredWhileWaiting);
    EXPECT_FALSE(diaryTouchedWhileWaiting);
    QTest::mouseClick(&window, Qt::LeftButton);
    EXPECT_EQ(window.input, 1) << "input reaches the window again after the wait";
    close(sockets[0]);
    close(sockets[1]);
}

// A post waits for a row another session holds: the box comes, and either Отмена in it or the server's lock_timeout
// ends the post with a message; the edit stays, nothing is written, and once the row is let go the same post
// stores it once.
TEST(ServerWaitWindow, APostWaitingForAHeldRowEndsByTheBoxOrTheLockTimeoutAndKeepsTheEdit)
{
    const struct
    {
        const char* what;
        const char* options;
        bool cancel;
        QString error;
    } cases[] = {
        {"Отмена", "", true, QStringLiteral("Ожидание ответа сервера отменено.")},
        {"lock_timeout", " options='-c lock_timeout=500'", false,
         QStringLiteral("canceling statement due to lock timeout")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServerDatabase database;
        ServerSchema::createDiary(database.connectionInfo(), JobTable::schema());
        database.execute("INSERT INTO job (job) VALUES ('до')");
        Connection connection(DiaryBackend::open(database.connectionString() + QString::fromLatin1(c.options)),
                              JobTable::schema());
        RecordSet set(QStringLiteral("QJob"), connection);
        set.setSql({QStringLiteral("select * from job")});
        set.open();

        InstalledWait wait(0, 50);
        int boxes = 0;
        QObject::connect(&*wait, &WindowServerWait::boxShown, [&](QDialog* box) {
            ++boxes;
            EXPECT_TRUE(box->isModal());
            if (c.cancel)
                cancelIn(box);
        });
        database.execute("BEGIN");
        database.execute("SELECT job FROM job FOR UPDATE");
        set.edit();
        set.fieldByName(QStringLiteral("job")).setValue(QStringLiteral("после"));
        EXPECT_EQ(errorOf([&] { set.post(); }), c.error);
        EXPECT_EQ(boxes, 1);
        EXPECT_EQ((*wait).box(), nullptr) << "the box goes with the wait";
        EXPECT_EQ(set.state(), RecordSet::State::Edit);
        EXPECT_EQ(set.fieldByName(QStringLiteral("job")).value(), QStringLiteral("после"));
        database.execute("ROLLBACK");
        EXPECT_EQ(database.scalar("SELECT string_agg(job, ',') FROM job"), QStringLiteral("до"));

        set.post();
        EXPECT_EQ(set.state(), RecordSet::State::Browse);
        EXPECT_EQ(database.scalar("SELECT string_agg(job, ',') FROM job"), QStringLiteral("после"));
    }
}

// Through a network that hangs: a read and a post end within the limit with the message (or at once after Отмена),
// the record set keeps the edit, and once the network forwards again the same post stores it.
TEST(ServerWaitWindow, ThroughAHangingNetworkAReadAndAPostEndWithinTheLimitAndTheNextPostSucceeds)
{
    const QString noAnswer = QStringLiteral("Сервер базы данных не ответил за 1 с; соединение с ним разорвано.");
    const struct
    {
        const char* what;
        bool post;
        bool cancel;
        QString error;
    } steps[] = {
        {"a read", false, false, noAnswer},
        {"a post, connecting anew", true, false, noAnswer},
        {"a post cancelled", true, true, QStringLiteral("Ожидание ответа сервера отменено.")},
    };
    ServerDatabase database;
    ServerSchema::createDiary(database.connectionInfo(), JobTable::schema());
    database.execute("INSERT INTO job (job) VALUES ('до')");
    TcpProxy proxy(database.tcpPort());
    Connection connection(DiaryBackend::open(QStringLiteral("Provider=PostgreSQL;Data Source=") +
                                             proxy.connectionInfo(database.tcpConnectionInfo())),
                          JobTable::schema());
    RecordSet set(QStringLiteral("QJob"), connection);
    set.setSql({QStringLiteral("select * from job")});
    set.open();

    const AnswerLimit limit(1s);
    proxy.hang();
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        InstalledWait wait(0, step.cancel ? 50 : 60000);
        QObject::connect(&*wait, &WindowServerWait::boxShown, &cancelIn);
        if (step.post && set.state() != RecordSet::State::Edit) {
            set.edit();
            set.fieldByName(QStringLiteral("job")).setValue(QStringLiteral("после"));
        }
        QElapsedTimer waited;
        waited.start();
        EXPECT_EQ(errorOf([&] { step.post ? set.post() : set.refresh(); }), step.error);
        EXPECT_LT(waited.elapsed(), 1000 + 2000);
        EXPECT_EQ(set.state(), step.post ? RecordSet::State::Edit : RecordSet::State::Browse);
        EXPECT_EQ(set.fieldByName(QStringLiteral("job")).value(),
                  step.post ? QStringLiteral("после") : QStringLiteral("до"));
    }
    proxy.forward();
    set.post();
    EXPECT_EQ(set.state(), RecordSet::State::Browse);
    EXPECT_EQ(database.scalar("SELECT string_agg(job, ',') FROM job"), QStringLiteral("после"));
}

// Over a link slow both ways the connect and the session's set-up each wait long enough for the window's loop to
// run; the one wait ends before the other begins, and the diary opens.
TEST(ServerWaitWindow, ADiaryOverASlowLinkOpens)
{
    ServerDatabase database;
    ServerSchema::createDiary(database.connectionInfo(), JobTable::schema());
    TcpProxy proxy(database.tcpPort());
    proxy.setDelay(120ms);
    InstalledWait wait(0, 60000);
    const AnswerLimit limit(20s);
    EXPECT_EQ(errorOf([&] {
                  Connection(DiaryBackend::open(QStringLiteral("Provider=PostgreSQL;Data Source=") +
                                                proxy.connectionInfo(database.tcpConnectionInfo())),
                             JobTable::schema());
              }),
              QString());
}
