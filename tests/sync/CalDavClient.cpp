#include "sync/CalDavClient.h"

#include "support/CalDavServer.h"
#include "support/TlsCertificates.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Kind = CalDavServer::Kind;
using FailureKind = CalDavClient::Failure::Kind;

QByteArray event(const QString& uid, const QString& summary)
{
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Chronoteka tests//EN\r\n"
                          "BEGIN:VTODO\r\nUID:%1\r\nDTSTAMP:20260101T000000Z\r\nDUE;VALUE=DATE:20260301\r\n"
                          "SUMMARY:%2\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
        .arg(uid, summary)
        .toUtf8();
}

// The kind of failure the call throws, checking that its text keeps the password out.
template <typename Call>
std::optional<FailureKind> failureOf(Call call, const QString& password = QStringLiteral("test-password"))
{
    try {
        call();
    } catch (const CalDavClient::Failure& failure) {
        EXPECT_FALSE(failure.text().contains(password)) << failure.what();
        EXPECT_FALSE(failure.text().isEmpty());
        return failure.kind();
    }
    return std::nullopt;
}

// The object's name in the collection, whatever the href's form.
QString nameOf(const QString& href)
{
    return href.section(u'/', -1);
}

std::vector<QString> sortedNames(const std::vector<CalDavClient::Object>& objects)
{
    std::vector<QString> names;
    for (const CalDavClient::Object& object : objects)
        names.push_back(nameOf(object.href));
    std::sort(names.begin(), names.end());
    return names;
}

class CalDavClientTest : public ::testing::TestWithParam<Kind>
{
protected:
    CalDavServer server{GetParam()};

    CalDavClient::Account account(const QUrl& url) const { return {url, server.user(), server.password(), {}}; }
    QString href(const QUrl& calendar, const QString& name) const { return calendar.path() + name; }
};

std::string kindName(const ::testing::TestParamInfo<Kind>& info)
{
    return CalDavServer::nameOf(info.param).toStdString();
}

// The calendar is found from the server's root, through the principal and the calendar home, as from its own URL.
TEST_P(CalDavClientTest, FindsTheCalendarFromTheRootAndFromItsUrl)
{
    const QUrl wellKnown = server.baseUrl().resolved(QUrl(QStringLiteral("/.well-known/caldav")));
    std::vector<QUrl> starts = {server.davUrl(), server.calendarUrl()};
    // SOGo's own web server answers /.well-known/caldav with its web pages; a site's web server in front of it
    // sends the address to /SOGo/dav/, but the tests have none.
    if (server.kind() != Kind::SOGo)
        starts.push_back(wellKnown);
    // DAViCal's site root is a web page that refuses PROPFIND: the client goes on to the well-known address.
    if (server.baseUrl() == server.davUrl() || server.kind() == Kind::DAViCal)
        starts.push_back(server.baseUrl());
    for (const QUrl& start : starts) {
        SCOPED_TRACE(start.toString().toStdString());
        CalDavClient client(account(start));
        const std::vector<CalDavClient::Calendar> calendars = client.calendars();
        const auto found = std::find_if(calendars.begin(), calendars.end(),
                                        [&](const CalDavClient::Calendar& c) { return c.url == server.calendarUrl(); });
        ASSERT_NE(found, calendars.end()) << calendars.size() << " calendars";
        EXPECT_EQ(found->name, QStringLiteral("Tests"));
        EXPECT_TRUE(found->todos);
        EXPECT_TRUE(found->events);
        if (start == server.calendarUrl()) {
            EXPECT_EQ(calendars.size(), 1U);
        }
    }
}

// Every write names the version it replaces: a write over a version someone else changed fails, none overwrites.
TEST_P(CalDavClientTest, WritesOnlyOverTheVersionLastSeen)
{
    if (server.kind() == Kind::SOGo)
        GTEST_SKIP() << "SOGo ignores If-None-Match: * on PUT and If-Match on DELETE: another client's object or "
                        "change is overwritten or deleted, not refused";
    const QUrl calendar = server.makeCalendar();
    CalDavClient client(account(calendar));
    const QString object = href(calendar, QStringLiteral("write.ics"));
    const QByteArray first = client.put(object, event(QStringLiteral("write"), QStringLiteral("Первая")), {});
    ASSERT_FALSE(first.isEmpty());
    const QByteArray second = client.put(object, event(QStringLiteral("write"), QStringLiteral("Вторая")), first);
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(second, first);

    struct Case
    {
        const char* what;
        std::function<void()> call;
        std::optional<FailureKind> failure;
    };
    const std::vector<Case> cases = {
        {"a new object where one is", [&] { client.put(object, event(QStringLiteral("write"), "Новая"), {}); },
         FailureKind::PreconditionFailed},
        {"a write over an old version", [&] { client.put(object, event(QStringLiteral("write"), "Старая"), first); },
         FailureKind::PreconditionFailed},
        {"a removal of an old version", [&] { client.remove(object, first); }, FailureKind::PreconditionFailed},
        {"a removal of the version seen", [&] { client.remove(object, second); }, std::nullopt},
        {"a removal of what is gone", [&] { client.remove(object, second); }, std::nullopt},
        {"a new object where one was", [&] { client.put(object, event(QStringLiteral("write"), "Снова"), {}); },
         std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(failureOf(c.call), c.failure) << c.what;
    const std::vector<CalDavClient::Object> left = client.fetch(calendar, {object});
    ASSERT_EQ(left.size(), 1U);
    EXPECT_TRUE(QString::fromUtf8(left[0].data).contains(QStringLiteral("SUMMARY:Снова")));
}

// Changes since a token list what was added, changed and removed in between; no token, or one the server does not
// know, lists everything.
TEST_P(CalDavClientTest, ChangesSinceATokenAndFetch)
{
    const QUrl calendar = server.makeCalendar();
    CalDavClient client(account(calendar));
    const CalDavClient::Changes empty = client.changes(calendar, {});
    EXPECT_TRUE(empty.complete);
    EXPECT_TRUE(empty.changed.empty());
    EXPECT_TRUE(empty.removed.empty());

    const QString a = href(calendar, QStringLiteral("a.ics"));
    const QString b = href(calendar, QStringLiteral("b.ics"));
    const QString c = href(calendar, QStringLiteral("c.ics"));
    const QByteArray aTag = client.put(a, event(QStringLiteral("a"), QStringLiteral("А")), {});
    const QByteArray bTag = client.put(b, event(QStringLiteral("b"), QStringLiteral("Б")), {});
    const CalDavClient::Changes added = client.changes(calendar, empty.syncToken);
    EXPECT_EQ(sortedNames(added.changed), (std::vector<QString>{"a.ics", "b.ics"}));

    client.put(a, event(QStringLiteral("a"), QStringLiteral("А изменено")), aTag);
    client.remove(b, bTag);
    client.put(c, event(QStringLiteral("c"), QStringLiteral("В")), {});
    const CalDavClient::Changes between = client.changes(calendar, added.syncToken);
    EXPECT_FALSE(between.complete);
    EXPECT_EQ(sortedNames(between.changed), (std::vector<QString>{"a.ics", "c.ics"}));
    ASSERT_EQ(between.removed.size(), 1U);
    EXPECT_EQ(nameOf(between.removed[0]), QStringLiteral("b.ics"));

    if (server.kind() == Kind::SOGo)
        GTEST_SKIP() << "SOGo's sync token is a time in whole seconds: what changed in the token's second is listed "
                        "again, and a token it never gave out is answered with changes, not refused";
    const CalDavClient::Changes nothing = client.changes(calendar, between.syncToken);
    EXPECT_TRUE(nothing.changed.empty());
    EXPECT_TRUE(nothing.removed.empty());

    if (server.kind() == Kind::DAViCal)
        GTEST_SKIP() << "DAViCal answers a sync token it never gave out with a list of changes rather than "
                        "valid-sync-token, which the client takes for changes since, not for the whole calendar";
    for (const QByteArray& token : {QByteArray(), QByteArray("http://example.com/unknown-token")}) {
        const CalDavClient::Changes all = client.changes(calendar, token);
        EXPECT_TRUE(all.complete) << token.constData();
        EXPECT_EQ(sortedNames(all.changed), (std::vector<QString>{"a.ics", "c.ics"})) << token.constData();
        EXPECT_FALSE(all.syncToken.isEmpty());
    }

    std::vector<QString> hrefs;
    for (const CalDavClient::Object& object : between.changed)
        hrefs.push_back(object.href);
    hrefs.push_back(b);
    const std::vector<CalDavClient::Object> fetched = client.fetch(calendar, hrefs);
    ASSERT_EQ(sortedNames(fetched), (std::vector<QString>{"a.ics", "c.ics"}));
    for (const CalDavClient::Object& object : fetched) {
        const auto listed = std::find_if(between.changed.begin(), between.changed.end(),
                                         [&](const CalDavClient::Object& o) { return o.href == object.href; });
        EXPECT_EQ(object.etag, listed->etag);
        const QString summary =
            nameOf(object.href) == u"a.ics" ? QStringLiteral("SUMMARY:А изменено") : QStringLiteral("SUMMARY:В");
        EXPECT_TRUE(QString::fromUtf8(object.data).contains(summary)) << object.data.constData();
    }
}

// Many objects are fetched in several requests, none lost between batches.
TEST_P(CalDavClientTest, FetchesManyObjectsInBatches)
{
    const QUrl calendar = server.makeCalendar();
    CalDavClient client(account(calendar));
    std::vector<QString> hrefs;
    for (int i = 0; i < 130; ++i) {
        hrefs.push_back(href(calendar, QStringLiteral("many-%1.ics").arg(i)));
        client.put(hrefs.back(), event(QStringLiteral("many-%1").arg(i), QStringLiteral("Много")), {});
    }
    EXPECT_EQ(client.fetch(calendar, hrefs).size(), hrefs.size());
}

TEST_P(CalDavClientTest, WrongPasswordIsRefused)
{
    if (!server.checksPassword())
        GTEST_SKIP() << server.name().toStdString() << " answers anyone";
    const QString wrong = QStringLiteral("wrong-secret");
    CalDavClient client({server.calendarUrl(), server.user(), wrong, {}});
    try {
        client.calendars();
        ADD_FAILURE() << "a wrong password was taken";
    } catch (const CalDavClient::Failure& failure) {
        EXPECT_EQ(failure.kind(), FailureKind::Unauthorized);
        EXPECT_TRUE(failure.text().contains(QStringLiteral("неверное имя пользователя или пароль"))) << failure.what();
        EXPECT_TRUE(failure.text().contains(QStringLiteral("401"))) << failure.what();
        EXPECT_FALSE(failure.text().contains(wrong));
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, CalDavClientTest, ::testing::ValuesIn(CalDavServer::kinds()), kindName);

// A port nothing listens on fails at once with the network's reason.
TEST(CalDavClientNetwork, ServerThatIsDownFailsQuickly)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    CalDavClient client({QUrl(QStringLiteral("http://127.0.0.1:%1/calendar/").arg(port)), "user", "secret", {}});
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(failureOf([&] { client.calendars(); }, QStringLiteral("secret")), FailureKind::Network);
    EXPECT_LT(timer.elapsed(), 5000);
}

// A server that never answers: cancel() from another thread ends the call under way, and every later one.
TEST(CalDavClientNetwork, CancelFromAnotherThreadEndsTheCall)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    CalDavClient client({QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort())), "user", "secret", {}});
    std::thread canceller;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        if (!canceller.joinable())
            canceller = std::thread([&client] { client.cancel(); });
    });
    EXPECT_EQ(failureOf([&] { client.calendars(); }), FailureKind::Cancelled);
    canceller.join();
    EXPECT_EQ(failureOf([&] { client.put(QStringLiteral("/a.ics"), "", {}); }), FailureKind::Cancelled);
}

QList<QSslCertificate> certificatesIn(const QString& path)
{
    return QSslCertificate::fromPath(path, QSsl::Pem);
}

QByteArray digestOf(const QString& path)
{
    const QList<QSslCertificate> certificates = certificatesIn(path);
    return certificates.isEmpty() ? QByteArray() : certificates.first().digest(QCryptographicHash::Sha256);
}

// The server's certificate verifies against the authority that signed it and against no other; trusted by its
// digest it is taken whatever signed it, and another certificate trusted so is told as a change. A refusal carries
// the certificate refused.
TEST(CalDavClientTls, CertificateFromTheAccountsAuthorityOrTrustedByItsDigest)
{
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    TlsCertificates::makeAuthority(folder, QStringLiteral("right"));
    TlsCertificates::makeAuthority(folder, QStringLiteral("other"));
    TlsCertificates::makeServer(folder, QStringLiteral("right"));
    if (::testing::Test::HasFatalFailure())
        return;
    const std::unique_ptr<CalDavServer> server = CalDavServer::startOwn(
        Kind::Radicale, folder.filePath(QStringLiteral("server.pem")), folder.filePath(QStringLiteral("server.key")));
    ASSERT_EQ(server->calendarUrl().scheme(), QStringLiteral("https"));
    const QByteArray serverDigest = digestOf(folder.filePath(QStringLiteral("server.pem")));
    ASSERT_EQ(serverDigest.size(), 32);

    const struct
    {
        const char* what;
        QString authority;
        QByteArray trusted;
        const char* refusal; // empty: the calendars are listed
    } cases[] = {
        {"its authority", QStringLiteral("ca-right.pem"), {}, ""},
        {"another authority", QStringLiteral("ca-other.pem"), {}, "Сертификат сервера не подтверждён: "},
        {"trusted by its digest", {}, serverDigest, ""},
        {"another certificate trusted",
         {},
         digestOf(folder.filePath(QStringLiteral("ca-other.pem"))),
         "Сертификат сервера сменился: это не тот, которому решено доверять ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CalDavClient client(
            {server->calendarUrl(), server->user(), server->password(),
             c.authority.isEmpty() ? QList<QSslCertificate>() : certificatesIn(folder.filePath(c.authority)),
             c.trusted});
        try {
            EXPECT_EQ(client.calendars().size(), 1U);
            EXPECT_STREQ(c.refusal, "") << "a certificate that does not verify was taken";
        } catch (const CalDavClient::Failure& failure) {
            ASSERT_STRNE(c.refusal, "") << failure.what();
            EXPECT_EQ(failure.kind(), FailureKind::Tls);
            EXPECT_TRUE(failure.text().startsWith(QString::fromUtf8(c.refusal))) << failure.what();
            EXPECT_GT(failure.text().size(), QString::fromUtf8(c.refusal).size() + 10)
                << "the reason is missing: " << failure.what();
            EXPECT_EQ(failure.certificate().digest(QCryptographicHash::Sha256), serverDigest);
        }
    }
}

} // namespace
