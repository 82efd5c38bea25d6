#include "platform/FreedesktopNotifications.h"

#include "support/NotificationServer.h"
#include "support/PrivateSessionBus.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

using Notification = DesktopNotifications::Notification;

Notification notification(const QString& summary, const QString& body = {})
{
    return {summary, body, {{QStringLiteral("default"), QStringLiteral("Открыть")}}};
}

// The program and a notification service, each on its own connection to a private bus.
class FreedesktopNotificationsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning());
        server.emplace(bus.connect(QStringLiteral("service")));
        ASSERT_TRUE(server->isServing());
        notifications.emplace(bus.connect(QStringLiteral("program")));
    }

    // Waits for the service to have had count Notify calls.
    bool notified(qsizetype count)
    {
        return QTest::qWaitFor([&] { return server->notified().size() >= count; }) &&
               server->notified().size() == count;
    }

    PrivateSessionBus bus;
    std::optional<NotificationServer> server;
    std::optional<FreedesktopNotifications> notifications;
};

} // namespace

TEST_F(FreedesktopNotificationsTest, TheCallCarriesTheProgramItsTextsAndActions)
{
    notifications->show(0, {QStringLiteral("Ежедневные"),
                            QStringLiteral("Tom & Jerry <b>\nвторое"),
                            {{QStringLiteral("default"), QStringLiteral("Открыть")},
                             {QStringLiteral("snooze"), QStringLiteral("Отложить")}}});
    ASSERT_TRUE(notified(1));
    const NotificationServer::Call& call = server->notified()[0];
    EXPECT_EQ(call.appName, QCoreApplication::applicationName());
    EXPECT_EQ(call.appIcon, QStringLiteral("chronoteka"));
    EXPECT_EQ(call.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("chronoteka"));
    EXPECT_EQ(call.summary, QStringLiteral("Ежедневные"));
    // A service reads markup in the body: the names' own "<" and "&" are text.
    EXPECT_EQ(call.body, QStringLiteral("Tom &amp; Jerry &lt;b&gt;\nвторое"));
    EXPECT_EQ(call.actions, QStringList({QStringLiteral("default"), QStringLiteral("Открыть"), QStringLiteral("snooze"),
                                         QStringLiteral("Отложить")}));
    EXPECT_EQ(call.replacesId, 0u);
}

TEST_F(FreedesktopNotificationsTest, AKeySentAgainReplacesItsNotificationEvenBeforeTheFirstIsAnswered)
{
    // The second show comes before the service answered the first: it must wait for the id rather than add one.
    notifications->show(0, notification(QStringLiteral("первое")));
    notifications->show(0, notification(QStringLiteral("второе")));
    notifications->show(1, notification(QStringLiteral("другой ключ")));
    ASSERT_TRUE(notified(3));
    notifications->show(0, notification(QStringLiteral("третье")));
    ASSERT_TRUE(notified(4));
    const QList<NotificationServer::Call>& calls = server->notified();
    const uint first = calls[0].id;
    struct Expected
    {
        QString summary;
        uint replacesId;
    };
    const QList<Expected> expected = {{QStringLiteral("первое"), 0},
                                      {QStringLiteral("другой ключ"), 0},
                                      {QStringLiteral("второе"), first},
                                      {QStringLiteral("третье"), first}};
    for (qsizetype i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].summary.toStdString());
        EXPECT_EQ(calls[i].summary, expected[i].summary);
        EXPECT_EQ(calls[i].replacesId, expected[i].replacesId);
    }
    EXPECT_NE(calls[1].id, first);
}

TEST_F(FreedesktopNotificationsTest, ActionsComeBackUnderTheKeyOfTheirIdAndOthersAreIgnored)
{
    QSignalSpy actions(&*notifications, &DesktopNotifications::actionInvoked);
    notifications->show(3, notification(QStringLiteral("три")));
    notifications->show(5, notification(QStringLiteral("пять")));
    ASSERT_TRUE(notified(2));
    const uint three = server->notified()[0].id;
    const uint five = server->notified()[1].id;
    server->choose(five, QStringLiteral("snooze"));
    server->choose(five + three + 100, QStringLiteral("default")); // another program's notification
    server->choose(three, QStringLiteral("default"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return actions.size() >= 2; }));
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0], QVariantList({5, QStringLiteral("snooze")}));
    EXPECT_EQ(actions[1], QVariantList({3, QStringLiteral("default")}));
}

TEST_F(FreedesktopNotificationsTest, ClosedNotificationsAreNotReplacedButShownAnew)
{
    notifications->show(0, notification(QStringLiteral("закрывает программа")));
    notifications->show(1, notification(QStringLiteral("закрывает пользователь")));
    ASSERT_TRUE(notified(2));
    const uint byProgram = server->notified()[0].id;
    const uint byUser = server->notified()[1].id;
    notifications->close(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server->closed().isEmpty(); }));
    EXPECT_EQ(server->closed(), QList<uint>{byProgram});
    server->dismiss(byUser);
    // A close before the service answered is sent once the id is known.
    notifications->show(2, notification(QStringLiteral("закрыто сразу")));
    notifications->close(2);
    ASSERT_TRUE(notified(3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->closed().size() >= 2; }));
    EXPECT_EQ(server->closed()[1], server->notified()[2].id);

    notifications->show(0, notification(QStringLiteral("снова")));
    notifications->show(1, notification(QStringLiteral("снова")));
    ASSERT_TRUE(notified(5));
    EXPECT_EQ(server->notified()[3].replacesId, 0u);
    EXPECT_EQ(server->notified()[4].replacesId, 0u);
    notifications->close(7); // never shown
}

TEST(FreedesktopNotificationsWithoutService, TheNotificationIsUndelivered)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    struct Case
    {
        const char* what;
        QDBusConnection connection;
    };
    const Case cases[] = {
        {"a bus where nobody serves notifications", bus.connect(QStringLiteral("program"))},
        {"no bus at all", QDBusConnection(QStringLiteral("never connected"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FreedesktopNotifications notifications(c.connection);
        QSignalSpy undelivered(&notifications, &DesktopNotifications::undelivered);
        notifications.show(4, notification(QStringLiteral("никому")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !undelivered.isEmpty(); }));
        EXPECT_EQ(undelivered[0], QVariantList{4});
    }
}
