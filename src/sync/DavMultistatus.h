#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

// A WebDAV multistatus answer (207) as the CalDAV client reads it: each response's href, its own status when it
// gives one (a member removed since a sync token), and the properties the server found. Properties the server
// could not give (a propstat other than 2xx) are left out, so a property present is one the server has.
class DavMultistatus
{
public:
    // Namespaces of the properties asked for.
    static const QString dav;
    static const QString caldav;
    static const QString calendarServer;

    struct Property
    {
        // The element's text as the server wrote it, whitespace kept: calendar data must stay as it came.
        QString text;
        // The DAV:href elements inside it (a principal, a calendar home).
        QStringList hrefs;
        // Its child elements as "{namespace}name" (a resource type's kinds).
        QStringList children;
        // The name attributes of the CalDAV comp elements inside it (the components a calendar takes).
        QStringList components;
    };

    struct Response
    {
        QString href;
        // The status given for the response as a whole; 0 when given per property.
        int status = 0;
        std::map<QString, Property> properties;

        const Property* property(const QString& ns, const QString& name) const;
        // The property's text trimmed; empty when the server did not give it.
        QString text(const QString& ns, const QString& name) const;
    };

    // Reads the answer; a body that is no multistatus fails with CalDavClient::Failure of kind Unreadable.
    static DavMultistatus read(const QByteArray& body);

    // "{namespace}name", the key of properties and children.
    static QString key(const QString& ns, const QString& name);

    std::vector<Response> responses;
    // The collection's new sync token, in the answer to sync-collection.
    QByteArray syncToken;
};
