#include "BenchCalDav.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <memory>
#include <stdexcept>

namespace {

// A line of a file caldav-server.sh writes in its folder.
QString lineOf(const QByteArray& folder, const char* name)
{
    QFile file(QString::fromUtf8(folder + '/' + name));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("the CalDAV server's " + std::string(name) +
                                 " is not known: " + file.errorString().toStdString());
    return QString::fromUtf8(file.readLine()).trimmed();
}

const char* const newCalendarBody = R"(<?xml version="1.0" encoding="utf-8"?>
<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav"><D:set><D:prop>
<C:supported-calendar-component-set><C:comp name="VEVENT"/><C:comp name="VTODO"/></C:supported-calendar-component-set>
</D:prop></D:set></C:mkcalendar>)";

} // namespace

// The storage in memory: Radicale flushes every object it writes to the disk, which other programs on the machine
// slow by turns, and the figures would measure the disk.
BenchCalDav::BenchCalDav()
    : m_server(CHRONOTEKA_CALDAV_SERVER, "/dev/shm/chronoteka-bench-caldav-", {"radicale"}),
      m_calendarUrl(lineOf(m_server.folder(), "calendar-url")), m_user(lineOf(m_server.folder(), "user")),
      m_password(lineOf(m_server.folder(), "password"))
{
}

QByteArray BenchCalDav::authorization() const
{
    return "Basic " + (m_user + u':' + m_password).toUtf8().toBase64();
}

QUrl BenchCalDav::makeCalendar()
{
    const QUrl url = newUrl();
    send(url, "MKCALENDAR", "application/xml; charset=utf-8", newCalendarBody, 201);
    return url;
}

QUrl BenchCalDav::putCollection(const QByteArray& calendar)
{
    const QUrl url = newUrl();
    send(url, "PUT", "text/calendar; charset=utf-8", calendar, 201);
    return url;
}

QUrl BenchCalDav::newUrl()
{
    return m_calendarUrl.resolved(QUrl(QStringLiteral("../bench-%1/").arg(++m_made)));
}

void BenchCalDav::send(const QUrl& url, const QByteArray& method, const QByteArray& contentType, const QByteArray& body,
                       int expected) const
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", authorization());
    request.setRawHeader("Content-Type", contentType);
    const std::unique_ptr<QNetworkReply> reply(network.sendCustomRequest(request, method, body));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != expected)
        throw std::runtime_error(QStringLiteral("Radicale refused %1 %2: status %3, %4")
                                     .arg(QString::fromLatin1(method), url.toString())
                                     .arg(status)
                                     .arg(reply->errorString())
                                     .toStdString());
}
