#include "support/PrivateSessionBus.h"
#include "support/SecretService.h"

#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusVariant>

#include <gtest/gtest.h>

namespace {

// The service answers on the private bus with its default collection, the login keyring, already unlocked: a
// store would otherwise wait for a prompt no one answers.
TEST(SecretServiceFixture, DefaultCollectionIsUnlocked)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    const SecretService service(bus);
    ASSERT_TRUE(service.isRunning());
    QDBusInterface properties(QStringLiteral("org.freedesktop.secrets"),
                              QStringLiteral("/org/freedesktop/secrets/aliases/default"),
                              QStringLiteral("org.freedesktop.DBus.Properties"), bus.connect(QStringLiteral("client")));
    const QDBusReply<QDBusVariant> locked = properties.call(
        QStringLiteral("Get"), QStringLiteral("org.freedesktop.Secret.Collection"), QStringLiteral("Locked"));
    ASSERT_TRUE(locked.isValid()) << locked.error().message().toStdString();
    EXPECT_FALSE(locked.value().variant().toBool());
}

} // namespace
