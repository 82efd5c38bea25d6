#include "support/CalDavServer.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using Kind = CalDavServer::Kind;

const QByteArray event = "BEGIN:VCALENDAR\r\n"
                         "VERSION:2.0\r\n"
                         "PRODID:-//Chronoteka tests//EN\r\n"
                         "BEGIN:VEVENT\r\n"
                         "UID:fixture-event\r\n"
                         "DTSTAMP:20260101T000000Z\r\n"
                         "DTSTART;VALUE=DATE:20260101\r\n"
                         "SUMMARY:Проверка\r\n"
                         "END:VEVENT\r\n"
                         "END:VCALENDAR\r\n";

struct Header
{
    QByteArray name;
    QByteArray value;
};

// The status of one request, 0 when no answer came.
int statusOf(const QByteArray& method, const QUrl& url, const std::vector<Header>& headers, const QByteArray& body = {})
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    for (const Header& header : headers)
        request.setRawHeader(header.name, header.value);
    const std::unique_ptr<QNetworkReply> reply(network.sendCustomRequest(request, method, body));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

class CalDavFixture : public ::testing::TestWithParam<Kind>
{
protected:
    CalDavServer server{GetParam()};
    QByteArray authorization = server.authorization();
};

std::string kindName(const ::testing::TestParamInfo<Kind>& info)
{
    return CalDavServer::nameOf(info.param).toStdString();
}

// The server takes the test user and, where it checks passwords, refuses a wrong one.
TEST_P(CalDavFixture, PasswordDecidesAccessToTheCalendar)
{
    const QByteArray wrong = "Basic " + (server.user() + QStringLiteral(":wrong")).toUtf8().toBase64();
    struct Case
    {
        const char* what;
        std::vector<Header> headers;
        int status;
    };
    const std::vector<Case> cases = {
        {"the right password", {{"Authorization", authorization}, {"Depth", "0"}}, 207},
        {"a wrong password", {{"Authorization", wrong}, {"Depth", "0"}}, server.checksPassword() ? 401 : 207},
        {"no password", {{"Depth", "0"}}, server.checksPassword() ? 401 : 207},
    };
    for (const Case& c : cases)
        EXPECT_EQ(statusOf("PROPFIND", server.calendarUrl(), c.headers), c.status)
            << server.name().toStdString() << ", " << c.what;
}

// A new object is written only where none is: the second identical write is refused, not taken over the first.
TEST_P(CalDavFixture, NewObjectIsNotWrittenTwice)
{
    if (GetParam() == Kind::SOGo)
        GTEST_SKIP() << "SOGo ignores If-None-Match: * and writes over the object that is there";
    const QUrl object = server.makeCalendar().resolved(QUrl(QStringLiteral("fixture-event.ics")));
    const std::vector<Header> headers = {
        {"Authorization", authorization}, {"If-None-Match", "*"}, {"Content-Type", "text/calendar; charset=utf-8"}};
    EXPECT_EQ(statusOf("PUT", object, headers, event), 201);
    EXPECT_EQ(statusOf("PUT", object, headers, event), 412);
}

// A paused server answers nothing and, started again, still holds what was written before; the shared one is not
// to be paused under the other tests.
TEST_P(CalDavFixture, PausedServerKeepsItsObjects)
{
    EXPECT_THROW(server.pause(), std::logic_error);
    const std::unique_ptr<CalDavServer> own = CalDavServer::startOwn(GetParam());
    ASSERT_NE(own->port(), server.port());
    const QUrl object = own->calendarUrl().resolved(QUrl(QStringLiteral("fixture-event.ics")));
    const std::vector<Header> headers = {{"Authorization", own->authorization()}, {"Content-Type", "text/calendar"}};
    ASSERT_EQ(statusOf("PUT", object, headers, event), 201);
    own->pause();
    const int paused = statusOf("GET", object, headers);
    own->resume();
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(statusOf("GET", object, headers), 200);
}

INSTANTIATE_TEST_SUITE_P(Servers, CalDavFixture, ::testing::ValuesIn(CalDavServer::kinds()), kindName);

} // namespace
