#include "sync/CalDavClient.h"

#include "sync/DavMultistatus.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslError>
#include <QXmlStreamWriter>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>
#include <utility>

namespace {

using Kind = CalDavClient::Failure::Kind;
using Failure = CalDavClient::Failure;

// Hops of redirection followed before giving up: /.well-known/caldav takes one, a server moved another.
constexpr int maxRedirects = 5;
// Hrefs asked for in one calendar-multiget.
constexpr std::size_t fetchBatch = 100;
// A server that sends nothing for this long is given up.
constexpr int transferTimeoutMs = 60000;
// Marks a sync token of our own for a server without sync-collection: the collection's ctag, which changes with
// every change of its objects, so that a sync with nothing changed still costs one request.
const QByteArray ctagToken = QByteArrayLiteral("chronoteka-ctag:");

struct PropertyName
{
    const QString& ns;
    const char* name;
};

const PropertyName resourceType{DavMultistatus::dav, "resourcetype"};
const PropertyName displayName{DavMultistatus::dav, "displayname"};
const PropertyName etagProperty{DavMultistatus::dav, "getetag"};
const PropertyName principalProperty{DavMultistatus::dav, "current-user-principal"};
const PropertyName homeProperty{DavMultistatus::caldav, "calendar-home-set"};
const PropertyName componentsProperty{DavMultistatus::caldav, "supported-calendar-component-set"};
const PropertyName dataProperty{DavMultistatus::caldav, "calendar-data"};
const PropertyName ctagProperty{DavMultistatus::calendarServer, "getctag"};

const DavMultistatus::Property* find(const DavMultistatus::Response& response, const PropertyName& name)
{
    return response.property(name.ns, QLatin1StringView(name.name));
}

QString textOf(const DavMultistatus::Response& response, const PropertyName& name)
{
    return response.text(name.ns, QLatin1StringView(name.name));
}

// A request body: the root element in its namespace, with D:, C: and CS: declared.
class Body
{
public:
    Body(const QString& ns, const char* root) : m_xml(&m_data)
    {
        m_xml.writeStartDocument();
        m_xml.writeNamespace(DavMultistatus::dav, QStringLiteral("D"));
        m_xml.writeNamespace(DavMultistatus::caldav, QStringLiteral("C"));
        m_xml.writeNamespace(DavMultistatus::calendarServer, QStringLiteral("CS"));
        m_xml.writeStartElement(ns, QLatin1StringView(root));
    }
    QXmlStreamWriter& xml() { return m_xml; }
    void properties(std::initializer_list<PropertyName> names)
    {
        m_xml.writeStartElement(DavMultistatus::dav, QStringLiteral("prop"));
        for (const PropertyName& name : names)
            m_xml.writeEmptyElement(name.ns, QLatin1StringView(name.name));
        m_xml.writeEndElement();
    }
    QByteArray finish()
    {
        m_xml.writeEndDocument();
        return m_data;
    }

private:
    QByteArray m_data;
    QXmlStreamWriter m_xml;
};

QByteArray propfindBody(std::initializer_list<PropertyName> names)
{
    Body body(DavMultistatus::dav, "propfind");
    body.properties(names);
    return body.finish();
}

QByteArray syncCollectionBody(const QByteArray& token)
{
    Body body(DavMultistatus::dav, "sync-collection");
    body.xml().writeTextElement(DavMultistatus::dav, QStringLiteral("sync-token"), QString::fromUtf8(token));
    body.xml().writeTextElement(DavMultistatus::dav, QStringLiteral("sync-level"), QStringLiteral("1"));
    body.properties({etagProperty});
    return body.finish();
}

QByteArray multigetBody(std::vector<QString>::const_iterator begin, std::vector<QString>::const_iterator end)
{
    Body body(DavMultistatus::caldav, "calendar-multiget");
    body.properties({etagProperty, dataProperty});
    for (auto href = begin; href != end; ++href)
        body.xml().writeTextElement(DavMultistatus::dav, QStringLiteral("href"), *href);
    return body.finish();
}

// The path of a collection without its closing slash, to find the collection among its members.
QString collectionPath(const QUrl& url)
{
    QString path = url.path(QUrl::FullyEncoded);
    while (path.endsWith(u'/'))
        path.chop(1);
    return path;
}

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(a.scheme() == u"https" ? 443 : 80) == b.port(b.scheme() == u"https" ? 443 : 80);
}

// The address the user gave, with https when it names no scheme.
QUrl normalized(const QUrl& url)
{
    if (url.scheme() == u"http" || url.scheme() == u"https")
        return url.adjusted(QUrl::RemoveUserInfo);
    return QUrl(QStringLiteral("https://") + url.toString(QUrl::RemoveUserInfo), QUrl::TolerantMode);
}

Failure cancelledFailure()
{
    return Failure(Kind::Cancelled, QStringLiteral("Синхронизация прервана."));
}

QString shown(const QUrl& url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

} // namespace

CalDavClient::Failure::Failure(Kind kind, const QString& text, const QSslCertificate& certificate)
    : Error(text), m_kind(kind), m_certificate(certificate)
{
}

struct CalDavClient::Private
{
    struct Header
    {
        QByteArray name;
        QByteArray value;
    };

    struct Answer
    {
        // The address that answered, after redirections: the hrefs of a multistatus are relative to it.
        QUrl url;
        int status = 0;
        QString reason;
        QByteArray body;
        QByteArray etag;
    };

    Account account;
    QUrl base;
    QByteArray authorization;
    std::atomic<bool> cancelled{false};
    std::atomic<int> requests{0};
    // Guards network, which cancel() reaches from other threads.
    std::mutex mutex;
    std::unique_ptr<QNetworkAccessManager> network;
    // The reply under way, touched only on the client's thread.
    QPointer<QNetworkReply> current;

    Answer send(const QByteArray& method, const QUrl& url, const std::vector<Header>& headers,
                const QByteArray& body = {});
    Answer propfind(const QUrl& url, int depth, std::initializer_list<PropertyName> names);
    [[noreturn]] void fail(const Answer& answer) const;
    DavMultistatus multistatus(const Answer& answer) const;
    QUrl resolve(const QString& href) const { return base.resolved(QUrl(href, QUrl::TolerantMode)); }
    Changes listing(const QUrl& calendar, const QByteArray& token);
    void fetch(const QUrl& calendar, std::vector<QString>::const_iterator begin,
               std::vector<QString>::const_iterator end, std::vector<Object>& objects);
    // A write the server did not take: a refusal of the object's own, or a failure of the sync.
    [[noreturn]] void failWrite(const Answer& answer) const;
    std::vector<Calendar> calendarsIn(const QUrl& home);
};

CalDavClient::CalDavClient(Account account) : d(std::make_unique<Private>())
{
    d->base = normalized(account.url);
    if (!account.user.isEmpty())
        d->authorization = "Basic " + (account.user + u':' + account.password).toUtf8().toBase64();
    d->account = std::move(account);
}

CalDavClient::~CalDavClient() = default;

void CalDavClient::cancel()
{
    d->cancelled = true;
    const std::lock_guard lock(d->mutex);
    if (d->network)
        QMetaObject::invokeMethod(
            d->network.get(),
            [this] {
                if (d->current)
                    d->current->abort();
            },
            Qt::QueuedConnection);
}

int CalDavClient::requestsSent() const
{
    return d->requests;
}

CalDavClient::Private::Answer CalDavClient::Private::send(const QByteArray& method, const QUrl& target,
                                                          const std::vector<Header>& headers, const QByteArray& body)
{
    if (cancelled)
        throw cancelledFailure();
    {
        const std::lock_guard lock(mutex);
        if (!network) {
            network = std::make_unique<QNetworkAccessManager>();
            network->setTransferTimeout(transferTimeoutMs);
        }
    }
    QUrl url = target;
    for (int hop = 0; hop <= maxRedirects; ++hop) {
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        request.setDecompressedSafetyCheckThreshold(maxUnpackedAnswer);
        // The password goes only where the account points: a redirection elsewhere is not given it.
        if (!authorization.isEmpty() && sameOrigin(url, base))
            request.setRawHeader("Authorization", authorization);
        if (!body.isEmpty())
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/xml; charset=utf-8"));
        for (const Header& header : headers)
            request.setRawHeader(header.name, header.value);
        if (url.scheme() == u"https") {
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            tls.addCaCertificates(account.authorities);
            request.setSslConfiguration(tls);
        }
        ++requests;
        const std::unique_ptr<QNetworkReply> reply(network->sendCustomRequest(request, method, body));
        QStringList tlsErrors;
        QSslCertificate refused;
        bool notTheTrusted = false;
        const bool trustsHere = !account.trustedCertificate.isEmpty() && sameOrigin(url, base);
        QObject::connect(reply.get(), &QNetworkReply::sslErrors, reply.get(),
                         [&, trustsHere, answering = reply.get()](const QList<QSslError>& e) {
                             refused = answering->sslConfiguration().peerCertificate();
                             if (trustsHere) {
                                 if (refused.digest(QCryptographicHash::Sha256) == account.trustedCertificate) {
                                     answering->ignoreSslErrors();
                                     return;
                                 }
                                 notTheTrusted = true;
                             }
                             for (const QSslError& error : e)
                                 tlsErrors << error.errorString();
                         });
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        current = reply.get();
        if (!reply->isFinished())
            loop.exec();
        current = nullptr;
        if (cancelled)
            throw cancelledFailure();

        Answer answer;
        answer.url = url;
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // Errors below the content's are the network's, the proxy's or TLS's: an answer, if one began, is cut short.
        const QNetworkReply::NetworkError error = reply->error();
        if (answer.status == 0 || (error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied)) {
            if (!tlsErrors.isEmpty() || error == QNetworkReply::SslHandshakeFailedError) {
                const QString reason = tlsErrors.isEmpty() ? reply->errorString() : tlsErrors.join(u"; ");
                if (notTheTrusted)
                    throw Failure(
                        Kind::Tls,
                        QStringLiteral("Сертификат сервера сменился: это не тот, которому решено доверять (%1)")
                            .arg(reason),
                        refused);
                throw Failure(Kind::Tls, QStringLiteral("Сертификат сервера не подтверждён: %1").arg(reason), refused);
            }
            // Only the transfer timeout aborts a reply besides cancel(), handled above.
            const QString reason = error == QNetworkReply::OperationCanceledError
                                       ? QStringLiteral("нет ответа %1 с").arg(transferTimeoutMs / 1000)
                                       : reply->errorString();
            throw Failure(Kind::Network, QStringLiteral("Сервер календаря %1 недоступен: %2")
                                             .arg(shown(url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery)), reason));
        }
        // An answer of success with an error is one whose body broke off after its head (Qt's guard against
        // compressed bombs stops one so): what came is not the whole answer.
        if (error != QNetworkReply::NoError && answer.status >= 200 && answer.status < 300)
            throw Failure(Kind::Unreadable,
                          QStringLiteral("Ответ сервера календаря оборван: %1").arg(reply->errorString()));
        answer.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        answer.body = reply->readAll();
        answer.etag = reply->rawHeader("ETag");
        const bool redirect = answer.status == 301 || answer.status == 302 || answer.status == 303 ||
                              answer.status == 307 || answer.status == 308;
        const QByteArray location = reply->rawHeader("Location");
        if (!redirect || location.isEmpty())
            return answer;
        const QUrl next = url.resolved(QUrl::fromEncoded(location));
        // A redirection from https to plain http would send the calendar unencrypted.
        if (url.scheme() == u"https" && next.scheme() != u"https")
            throw Failure(Kind::Server,
                          QStringLiteral("Сервер календаря перенаправил защищённое соединение на незащищённое: %1")
                              .arg(shown(next)));
        url = next;
    }
    throw Failure(Kind::Server, QStringLiteral("Сервер календаря перенаправляет запрос по кругу: %1").arg(shown(url)));
}

void CalDavClient::Private::fail(const Answer& answer) const
{
    const QString status = QStringLiteral("%1 %2").arg(answer.status).arg(answer.reason).trimmed();
    switch (answer.status) {
    case 401:
        throw Failure(
            Kind::Unauthorized,
            QStringLiteral("Сервер календаря не пустил: неверное имя пользователя или пароль (%1).").arg(status));
    case 404:
    case 410:
        throw Failure(Kind::NotFound,
                      QStringLiteral("На сервере календаря нет %1 (%2).").arg(shown(answer.url), status));
    case 412:
        throw Failure(Kind::PreconditionFailed,
                      QStringLiteral("Событие на сервере календаря изменил кто-то другой (%1).").arg(status));
    default:
        throw Failure(
            Kind::Server,
            QStringLiteral("Сервер календаря ответил ошибкой %1 на запрос к %2.").arg(status, shown(answer.url)));
    }
}

DavMultistatus CalDavClient::Private::multistatus(const Answer& answer) const
{
    if (answer.status != 207)
        fail(answer);
    return DavMultistatus::read(answer.body);
}

CalDavClient::Private::Answer CalDavClient::Private::propfind(const QUrl& url, int depth,
                                                              std::initializer_list<PropertyName> names)
{
    return send("PROPFIND", url, {{"Depth", QByteArray::number(depth)}}, propfindBody(names));
}

std::vector<CalDavClient::Calendar> CalDavClient::calendars()
{
    Private::Answer first =
        d->propfind(d->base, 0, {resourceType, displayName, componentsProperty, principalProperty, homeProperty});
    if (first.status == 404 || first.status == 405) {
        // A site's root that is a web page rather than a collection: the server's calendars are where its
        // well-known address leads.
        Private::Answer wellKnown =
            d->propfind(d->base.resolved(QUrl(QStringLiteral("/.well-known/caldav"))), 0,
                        {resourceType, displayName, componentsProperty, principalProperty, homeProperty});
        if (wellKnown.status == 207)
            first = std::move(wellKnown);
    }
    const DavMultistatus self = d->multistatus(first);
    QUrl principal;
    QUrl home;
    for (const DavMultistatus::Response& response : self.responses) {
        const DavMultistatus::Property* type = find(response, resourceType);
        if (type && type->children.contains(DavMultistatus::key(DavMultistatus::caldav, QStringLiteral("calendar"))))
            return d->calendarsIn(first.url.resolved(QUrl(response.href, QUrl::TolerantMode)));
        if (const DavMultistatus::Property* found = find(response, principalProperty); found && !found->hrefs.empty())
            principal = first.url.resolved(QUrl(found->hrefs.front(), QUrl::TolerantMode));
        if (const DavMultistatus::Property* found = find(response, homeProperty); found && !found->hrefs.empty())
            home = first.url.resolved(QUrl(found->hrefs.front(), QUrl::TolerantMode));
    }
    if (home.isEmpty() && principal.isEmpty()) {
        const Private::Answer wellKnown =
            d->propfind(d->base.resolved(QUrl(QStringLiteral("/.well-known/caldav"))), 0, {principalProperty});
        // A server without the well-known address answers 404 or 405: the address given is then the home itself.
        if (wellKnown.status == 207) {
            for (const DavMultistatus::Response& response : DavMultistatus::read(wellKnown.body).responses)
                if (const DavMultistatus::Property* found = find(response, principalProperty);
                    found && !found->hrefs.empty())
                    principal = wellKnown.url.resolved(QUrl(found->hrefs.front(), QUrl::TolerantMode));
        } else if (wellKnown.status == 401) {
            d->fail(wellKnown);
        }
    }
    if (home.isEmpty() && !principal.isEmpty()) {
        const Private::Answer answer = d->propfind(principal, 0, {homeProperty});
        for (const DavMultistatus::Response& response : d->multistatus(answer).responses)
            if (const DavMultistatus::Property* found = find(response, homeProperty); found && !found->hrefs.empty())
                home = answer.url.resolved(QUrl(found->hrefs.front(), QUrl::TolerantMode));
    }
    return d->calendarsIn(home.isEmpty() ? first.url : home);
}

// The calendars among the collection and its members.
std::vector<CalDavClient::Calendar> CalDavClient::Private::calendarsIn(const QUrl& home)
{
    const Answer answer = propfind(home, 1, {resourceType, displayName, componentsProperty});
    std::vector<Calendar> found;
    for (const DavMultistatus::Response& response : multistatus(answer).responses) {
        const DavMultistatus::Property* type = find(response, resourceType);
        if (!type || !type->children.contains(DavMultistatus::key(DavMultistatus::caldav, QStringLiteral("calendar"))))
            continue;
        Calendar calendar;
        calendar.url = answer.url.resolved(QUrl(response.href, QUrl::TolerantMode));
        calendar.name = textOf(response, displayName);
        if (calendar.name.isEmpty())
            calendar.name = QUrl::fromPercentEncoding(collectionPath(calendar.url).section(u'/', -1).toUtf8());
        if (const DavMultistatus::Property* components = find(response, componentsProperty);
            components && !components->components.isEmpty()) {
            calendar.todos = components->components.contains(QStringLiteral("VTODO"));
            calendar.events = components->components.contains(QStringLiteral("VEVENT"));
        }
        found.push_back(std::move(calendar));
    }
    return found;
}

CalDavClient::Changes CalDavClient::changes(const QUrl& calendar, const QByteArray& syncToken)
{
    if (syncToken.startsWith(ctagToken))
        return d->listing(calendar, syncToken);
    const Private::Answer answer = d->send("REPORT", calendar, {{"Depth", "0"}}, syncCollectionBody(syncToken));
    switch (answer.status) {
    case 207:
        break;
    case 401:
    case 404:
    case 410:
        d->fail(answer);
    default:
        // A token the server no longer knows fails the valid-sync-token precondition (403 or 409; some servers
        // answer 400, 412, or fail with 500 on a token they never gave): everything is listed anew. A server
        // that is really failing fails that listing too, which then names its error.
        if (!syncToken.isEmpty())
            return changes(calendar, {});
        // Without a token, the server does not offer sync-collection.
        if ((answer.status >= 400 && answer.status < 500) || answer.status == 501)
            return d->listing(calendar, {});
        d->fail(answer);
    }
    Changes changes;
    const DavMultistatus found = d->multistatus(answer);
    changes.syncToken = found.syncToken;
    changes.complete = syncToken.isEmpty();
    const QString self = collectionPath(answer.url);
    bool truncated = false;
    for (const DavMultistatus::Response& response : found.responses) {
        if (collectionPath(answer.url.resolved(QUrl(response.href, QUrl::TolerantMode))) == self) {
            truncated = truncated || response.status == 507;
            continue;
        }
        if (response.status == 404 || response.status == 410) {
            changes.removed.push_back(response.href);
            continue;
        }
        const QString etag = textOf(response, etagProperty);
        if (!etag.isEmpty())
            changes.changed.push_back({response.href, etag.toUtf8(), {}, {}});
    }
    // A server that lists only part of the changes marks the collection 507; the rest follows from the token it gave
    // with the part. Skipping it would lose those changes, since the next sync starts from the newer token.
    if (!truncated || changes.syncToken.isEmpty() || changes.syncToken == syncToken)
        return changes;
    Changes rest = this->changes(calendar, changes.syncToken);
    if (rest.complete)
        return rest;
    const auto listedLater = [&rest](const QString& href) {
        return std::any_of(rest.changed.begin(), rest.changed.end(), [&](const Object& o) { return o.href == href; }) ||
               std::find(rest.removed.begin(), rest.removed.end(), href) != rest.removed.end();
    };
    std::erase_if(changes.changed, [&](const Object& object) { return listedLater(object.href); });
    std::erase_if(changes.removed, listedLater);
    std::move(rest.changed.begin(), rest.changed.end(), std::back_inserter(changes.changed));
    std::move(rest.removed.begin(), rest.removed.end(), std::back_inserter(changes.removed));
    changes.syncToken = rest.syncToken;
    return changes;
}

// The changes of a collection without sync-collection: nothing when its ctag is the token's, else every object.
CalDavClient::Changes CalDavClient::Private::listing(const QUrl& calendar, const QByteArray& token)
{
    Changes changes;
    if (!token.isEmpty()) {
        const Answer answer = propfind(calendar, 0, {ctagProperty});
        for (const DavMultistatus::Response& response : multistatus(answer).responses) {
            const QString ctag = textOf(response, ctagProperty);
            if (!ctag.isEmpty() && ctagToken + ctag.toUtf8() == token) {
                changes.syncToken = token;
                return changes;
            }
        }
    }
    const Answer answer = propfind(calendar, 1, {resourceType, etagProperty, ctagProperty});
    changes.complete = true;
    const QString self = collectionPath(answer.url);
    for (const DavMultistatus::Response& response : multistatus(answer).responses) {
        if (collectionPath(answer.url.resolved(QUrl(response.href, QUrl::TolerantMode))) == self) {
            const QString ctag = textOf(response, ctagProperty);
            if (!ctag.isEmpty())
                changes.syncToken = ctagToken + ctag.toUtf8();
            continue;
        }
        const DavMultistatus::Property* type = find(response, resourceType);
        const QString etag = textOf(response, etagProperty);
        if ((type && !type->children.isEmpty()) || etag.isEmpty())
            continue;
        changes.changed.push_back({response.href, etag.toUtf8(), {}, {}});
    }
    return changes;
}

std::vector<CalDavClient::Object> CalDavClient::fetch(const QUrl& calendar, const std::vector<QString>& hrefs)
{
    std::vector<Object> objects;
    for (std::size_t from = 0; from < hrefs.size(); from += fetchBatch) {
        const auto begin = hrefs.begin() + static_cast<std::ptrdiff_t>(from);
        const auto end = hrefs.begin() + static_cast<std::ptrdiff_t>(std::min(hrefs.size(), from + fetchBatch));
        d->fetch(calendar, begin, end, objects);
    }
    return objects;
}

void CalDavClient::Private::fetch(const QUrl& calendar, std::vector<QString>::const_iterator begin,
                                  std::vector<QString>::const_iterator end, std::vector<Object>& objects)
{
    Answer answer;
    try {
        answer = send("REPORT", calendar, {{"Depth", "1"}}, multigetBody(begin, end));
        const DavMultistatus found = multistatus(answer);
        for (const DavMultistatus::Response& response : found.responses) {
            const DavMultistatus::Property* data = find(response, dataProperty);
            if (response.status >= 300 || !data)
                continue;
            objects.push_back({response.href, textOf(response, etagProperty).toUtf8(), data->text.toUtf8(), {}});
        }
    } catch (const Failure& failure) {
        // Most likely one object broke the answer (bytes that are not UTF-8, a character XML does not allow, an
        // answer too large): the halves are asked for apart until that one is alone.
        if (failure.kind() != Kind::Unreadable)
            throw;
        if (end - begin > 1) {
            const auto middle = begin + (end - begin) / 2;
            fetch(calendar, begin, middle, objects);
            fetch(calendar, middle, end, objects);
            return;
        }
        objects.push_back({*begin, {}, answer.body, failure.text()});
    }
}

QByteArray CalDavClient::put(const QString& href, const QByteArray& data, const QByteArray& etag)
{
    const Private::Answer answer =
        d->send("PUT", d->resolve(href),
                {{"Content-Type", "text/calendar; charset=utf-8"},
                 etag.isEmpty() ? Private::Header{"If-None-Match", "*"} : Private::Header{"If-Match", etag}},
                data);
    if (answer.status < 200 || answer.status >= 300)
        d->failWrite(answer);
    return answer.etag;
}

void CalDavClient::remove(const QString& href, const QByteArray& etag)
{
    std::vector<Private::Header> headers;
    if (!etag.isEmpty())
        headers.push_back({"If-Match", etag});
    const Private::Answer answer = d->send("DELETE", d->resolve(href), headers);
    if ((answer.status < 200 || answer.status >= 300) && answer.status != 404 && answer.status != 410)
        d->failWrite(answer);
}

void CalDavClient::Private::failWrite(const Answer& answer) const
{
    // 401 and 403 are the account's or the collection's, and 412 someone else's change; any other 4xx is about
    // this object (its UID held by another, its size, its content), which the rest of the sync does without.
    if (answer.status >= 400 && answer.status < 500 && answer.status != 401 && answer.status != 403 &&
        answer.status != 412)
        throw Failure(Kind::Refused, QStringLiteral("сервер календаря ответил %1")
                                         .arg(QStringLiteral("%1 %2").arg(answer.status).arg(answer.reason).trimmed()));
    fail(answer);
}
