#include "platform/KeychainSecretStore.h"

#include "support/InChild.h"
#include "support/PrivateSessionBus.h"
#include "support/SecretService.h"

#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString server = QStringLiteral("https://calendar.example/dav/");
const QString user = QStringLiteral("иван");

// Runs steps against the keyring of the bus in a child process: the keyring library connects to the session bus
// named when it is first used and keeps that connection for the process's life. Returns what the steps saw, or
// "unavailable" when a call threw that.
QString inChildOnBus(const PrivateSessionBus& bus, const std::function<QString(SecretStore&)>& steps)
{
    return inChild([&] {
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
        KeychainSecretStore store;
        try {
            return steps(store);
        } catch (const SecretStore::Unavailable&) {
            return QStringLiteral("unavailable");
        }
    });
}

// Reads as the program does, without a loop of the store's own, and waits here for the answer; a read the keyring
// can't answer throws as the other calls do.
std::optional<QString> readOf(SecretStore& store, const QString& server, const QString& user)
{
    std::optional<SecretStore::Answer> answer;
    QObject context;
    store.read(server, user, &context, [&answer](const SecretStore::Answer& given) { answer = given; });
    if (!QTest::qWaitFor([&answer] { return answer.has_value(); }, 30000))
        return QStringLiteral("no answer");
    if (answer->unavailable)
        throw SecretStore::Unavailable(*answer->unavailable);
    return answer->password;
}

QString shown(const std::optional<QString>& password)
{
    return password.value_or(QStringLiteral("none"));
}

} // namespace

// A password is kept per server and user, a second store replaces it, and one forgotten (twice) is gone.
TEST(KeychainSecretStore, StoresReadsBackAndForgets)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    const SecretService service(bus);
    ASSERT_TRUE(service.isRunning());
    const QString seen = inChildOnBus(bus, [](SecretStore& store) {
        QStringList seen{shown(readOf(store, server, user))};
        store.store(server, user, QStringLiteral("первый"));
        store.store(server, user, QStringLiteral("второй пароль"));
        seen << shown(readOf(store, server, user)) << shown(readOf(store, server, QStringLiteral("пётр")))
             << shown(readOf(store, QStringLiteral("https://other.example/"), user));
        store.forget(server, user);
        store.forget(server, user);
        seen << shown(readOf(store, server, user));
        return seen.join(QStringLiteral(" | "));
    });
    EXPECT_EQ(seen, QStringLiteral("none | второй пароль | none | none | none"));
}

// With nothing serving the keyring on the bus each call says so, rather than answering "none kept" or writing the
// password anywhere else.
TEST(KeychainSecretStore, WithoutASecretServiceEveryCallIsUnavailable)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    const std::function<void(SecretStore&)> calls[] = {
        [](SecretStore& store) { readOf(store, server, user); },
        [](SecretStore& store) { store.store(server, user, QStringLiteral("пароль")); },
        [](SecretStore& store) { store.forget(server, user); },
    };
    for (const auto& call : calls)
        EXPECT_EQ(inChildOnBus(bus,
                               [&](SecretStore& store) {
                                   call(store);
                                   return QStringLiteral("answered");
                               }),
                  QStringLiteral("unavailable"));
}
