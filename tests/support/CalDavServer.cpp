#include "support/CalDavServer.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QUuid>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

QString firstLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString() + ": did the server start?");
    return QString::fromUtf8(file.readLine()).trimmed();
}

const char* const newCalendarBody = R"(<?xml version="1.0" encoding="utf-8"?>
<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav"><D:set><D:prop>
<C:supported-calendar-component-set><C:comp name="VEVENT"/><C:comp name="VTODO"/></C:supported-calendar-component-set>
</D:prop></D:set></C:mkcalendar>)";

} // namespace

CalDavServer::CalDavServer(Kind kind) : m_kind(kind)
{
    const QString servers = qEnvironmentVariable("CHRONOTEKA_TEST_CALDAV");
    if (servers.isEmpty())
        throw std::runtime_error("CHRONOTEKA_TEST_CALDAV is not set: run the tests through ctest");
    m_folder = servers + u'/' + name().toLower();
    readFolder();
}

CalDavServer::CalDavServer(Kind kind, const QString& folder) : m_kind(kind), m_folder(folder), m_own(true) {}

std::unique_ptr<CalDavServer> CalDavServer::startOwn(Kind kind, const QString& certificate, const QString& key)
{
    const QString folder = QStringLiteral("/tmp/chronoteka-caldav-own-") + QUuid::createUuid().toString(QUuid::Id128);
    std::unique_ptr<CalDavServer> server(new CalDavServer(kind, folder));
    server->runScript(QStringLiteral("start"), certificate.isEmpty() ? QStringList() : QStringList{certificate, key});
    server->readFolder();
    return server;
}

CalDavServer::~CalDavServer()
{
    if (!m_own)
        return;
    try {
        runScript(QStringLiteral("stop"));
    } catch (const std::exception& error) {
        ADD_FAILURE() << error.what();
    }
}

void CalDavServer::readFolder()
{
    m_baseUrl = QUrl(firstLine(m_folder + QStringLiteral("/base-url")));
    m_calendarUrl = QUrl(firstLine(m_folder + QStringLiteral("/calendar-url")));
    m_davUrl = QUrl(firstLine(m_folder + QStringLiteral("/dav-url")));
    m_user = firstLine(m_folder + QStringLiteral("/user"));
    m_password = firstLine(m_folder + QStringLiteral("/password"));
    if (!m_baseUrl.isValid() || m_baseUrl.port() <= 0 || !m_calendarUrl.path().endsWith(u'/'))
        throw std::runtime_error("the server's folder " + m_folder.toStdString() + " holds no usable URLs");
}

std::vector<CalDavServer::Kind> CalDavServer::kinds()
{
#ifdef CHRONOTEKA_TEST_SOGO
    return {Kind::Radicale, Kind::Xandikos, Kind::DAViCal, Kind::Cyrus, Kind::SOGo};
#else
    return {Kind::Radicale, Kind::Xandikos, Kind::DAViCal, Kind::Cyrus};
#endif
}

QString CalDavServer::nameOf(Kind kind)
{
    switch (kind) {
    case Kind::Radicale:
        return QStringLiteral("Radicale");
    case Kind::Xandikos:
        return QStringLiteral("Xandikos");
    case Kind::DAViCal:
        return QStringLiteral("DAViCal");
    case Kind::Cyrus:
        return QStringLiteral("Cyrus");
    case Kind::SOGo:
        return QStringLiteral("SOGo");
    }
    throw std::logic_error("unknown CalDAV server kind");
}

QByteArray CalDavServer::authorization() const
{
    return "Basic " + (m_user + u':' + m_password).toUtf8().toBase64();
}

QUrl CalDavServer::makeCalendar() const
{
    const QUrl url =
        m_calendarUrl.resolved(QUrl(QStringLiteral("../") + QUuid::createUuid().toString(QUuid::Id128) + u'/'));
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", authorization());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/xml; charset=utf-8"));
    const std::unique_ptr<QNetworkReply> reply(
        network.sendCustomRequest(request, QByteArrayLiteral("MKCALENDAR"), newCalendarBody));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 201)
        throw std::runtime_error(QStringLiteral("%1 made no calendar at %2: status %3, %4")
                                     .arg(name(), url.toString())
                                     .arg(status)
                                     .arg(reply->errorString())
                                     .toStdString());
    return url;
}

void CalDavServer::pause() const
{
    runScript(QStringLiteral("pause"));
}

void CalDavServer::resume() const
{
    runScript(QStringLiteral("resume"));
}

void CalDavServer::runScript(const QString& action, const QStringList& options) const
{
    if (!m_own)
        throw std::logic_error("the shared " + name().toStdString() + " is not to be " + action.toStdString() +
                               "d: take a server of the test's own");
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    // DAViCal's and SOGo's databases live on the tests' PostgreSQL server, which the shared one's folder names.
    if ((m_kind == Kind::DAViCal || m_kind == Kind::SOGo) && !qEnvironmentVariableIsSet("CHRONOTEKA_TEST_SERVER")) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("CHRONOTEKA_TEST_SERVER"),
                           firstLine(qEnvironmentVariable("CHRONOTEKA_TEST_CALDAV") + u'/' + name().toLower() +
                                     QStringLiteral("/database")));
        script.setProcessEnvironment(environment);
    }
    script.start(QStringLiteral(CALDAV_SERVER_SCRIPT), QStringList{action, m_folder, name().toLower()} + options);
    if (!script.waitForFinished(60000) || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
        throw std::runtime_error("caldav-server.sh " + action.toStdString() +
                                 " failed: " + script.readAll().toStdString());
}
