#include "sync/DavMultistatus.h"

#include "sync/CalDavClient.h"

#include <QXmlStreamReader>

const QString DavMultistatus::dav = QStringLiteral("DAV:");
const QString DavMultistatus::caldav = QStringLiteral("urn:ietf:params:xml:ns:caldav");
const QString DavMultistatus::calendarServer = QStringLiteral("http://calendarserver.org/ns/");

namespace {

bool isDav(const QXmlStreamReader& xml, QLatin1StringView name)
{
    return xml.namespaceUri() == DavMultistatus::dav && xml.name() == name;
}

// The number in a status line such as "HTTP/1.1 404 Not Found"; 0 when there is none.
int statusCode(const QString& line)
{
    const QStringList parts = line.simplified().split(u' ');
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

// Reads one property element, the reader on its start, up to its end.
DavMultistatus::Property readProperty(QXmlStreamReader& xml)
{
    DavMultistatus::Property property;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (depth == 1)
                property.children << DavMultistatus::key(xml.namespaceUri().toString(), xml.name().toString());
            if (isDav(xml, QLatin1StringView("href"))) {
                property.hrefs << xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                continue;
            }
            if (xml.namespaceUri() == DavMultistatus::caldav && xml.name() == QLatin1StringView("comp"))
                property.components << xml.attributes().value(QLatin1StringView("name")).toString().toUpper();
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (depth == 1)
                property.text += xml.text();
            break;
        default:
            break;
        }
    }
    return property;
}

// Reads one propstat, the reader on its start, adding its properties to the response when its status is 2xx.
void readPropstat(QXmlStreamReader& xml, DavMultistatus::Response& response)
{
    std::map<QString, DavMultistatus::Property> properties;
    int status = 0;
    while (xml.readNextStartElement()) {
        if (isDav(xml, QLatin1StringView("prop"))) {
            while (xml.readNextStartElement()) {
                const QString name = DavMultistatus::key(xml.namespaceUri().toString(), xml.name().toString());
                properties[name] = readProperty(xml);
            }
        } else if (isDav(xml, QLatin1StringView("status"))) {
            status = statusCode(xml.readElementText());
        } else {
            xml.skipCurrentElement();
        }
    }
    if (status >= 200 && status < 300)
        response.properties.merge(properties);
}

DavMultistatus::Response readResponse(QXmlStreamReader& xml)
{
    DavMultistatus::Response response;
    while (xml.readNextStartElement()) {
        if (isDav(xml, QLatin1StringView("href")))
            response.href = xml.readElementText().trimmed();
        else if (isDav(xml, QLatin1StringView("status")))
            response.status = statusCode(xml.readElementText());
        else if (isDav(xml, QLatin1StringView("propstat")))
            readPropstat(xml, response);
        else
            xml.skipCurrentElement();
    }
    return response;
}

} // namespace

const DavMultistatus::Property* DavMultistatus::Response::property(const QString& ns, const QString& name) const
{
    const auto found = properties.find(key(ns, name));
    return found == properties.end() ? nullptr : &found->second;
}

QString DavMultistatus::Response::text(const QString& ns, const QString& name) const
{
    const Property* found = property(ns, name);
    return found ? found->text.trimmed() : QString();
}

QString DavMultistatus::key(const QString& ns, const QString& name)
{
    return u'{' + ns + u'}' + name;
}

DavMultistatus DavMultistatus::read(const QByteArray& body)
{
    DavMultistatus answer;
    QXmlStreamReader xml(body);
    if (xml.readNextStartElement()) {
        if (!isDav(xml, QLatin1StringView("multistatus")))
            xml.raiseError(QStringLiteral("ожидался multistatus, получен %1").arg(xml.name()));
        while (xml.readNextStartElement()) {
            if (isDav(xml, QLatin1StringView("response")))
                answer.responses.push_back(readResponse(xml));
            else if (isDav(xml, QLatin1StringView("sync-token")))
                answer.syncToken = xml.readElementText().trimmed().toUtf8();
            else
                xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        throw CalDavClient::Failure(CalDavClient::Failure::Kind::Unreadable,
                                    QStringLiteral("Ответ сервера календаря не удалось прочитать (строка %1): %2")
                                        .arg(xml.lineNumber())
                                        .arg(xml.errorString()));
    return answer;
}
