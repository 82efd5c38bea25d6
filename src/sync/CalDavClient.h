#pragma once

#include "base/Error.h"

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <memory>
#include <vector>

// One CalDAV account's server, spoken to over HTTP with Qt Network. Every call waits for its answer in an event loop
// of its own, so a client lives on the sync's own thread, never on the window's. TLS is verified against the
// system's authorities (and the account's own, for a server at home with an authority of its own); a certificate
// that does not verify is refused with the reason, unless it is the one certificate the account trusts, by its
// SHA-256 digest, for the account's own server.
class CalDavClient
{
public:
    struct Account
    {
        // The calendar collection, or the server's address from which the calendars are found. An address without a
        // scheme is https.
        QUrl url;
        QString user;
        QString password;
        // Authorities trusted besides the system's.
        QList<QSslCertificate> authorities;
        // The SHA-256 digest of a certificate trusted though it does not verify, on the account's server alone (its
        // scheme, host and port); empty: none. Its {} lets an account that trusts none leave it out.
        QByteArray trustedCertificate{};
    };

    struct Calendar
    {
        QUrl url;
        // The collection's display name; its last path segment when it has none.
        QString name;
        // Whether it takes to-dos and events (a calendar that says nothing takes both).
        bool todos = true;
        bool events = true;
    };

    // A calendar object: where it is, its version, and its text when fetched.
    struct Object
    {
        QString href;
        QByteArray etag;
        QByteArray data;
        // Set when the server's answer about this object alone could not be read: why. data is then that answer as
        // it came, in which the object's summary may still be found.
        QString unreadable;
    };

    // What changed in a collection since a sync token.
    struct Changes
    {
        // The token to ask with next time; empty when the server keeps none.
        QByteArray syncToken;
        // Whether the listing is the whole collection (no token, a token the server no longer knows, or a server
        // without sync-collection): an object not listed is then gone.
        bool complete = false;
        // Objects added or changed, with their ETags; data not fetched.
        std::vector<Object> changed;
        std::vector<QString> removed;
    };

    // Why a call failed. The text is the one the user sees, in Russian, naming the server's answer or the network's
    // reason; never the password.
    class Failure : public Error
    {
    public:
        // Refused: the server would not take a write of one object (a 4xx other than 401, 403 and 412), which is
        // that object's own matter, not the collection's.
        enum class Kind {
            Network,
            Tls,
            Unauthorized,
            NotFound,
            PreconditionFailed,
            Refused,
            Server,
            Unreadable,
            Cancelled
        };
        Failure(Kind kind, const QString& text, const QSslCertificate& certificate = QSslCertificate());
        Kind kind() const { return m_kind; }
        // Of a Tls failure: the certificate the server showed, which the user may choose to trust.
        const QSslCertificate& certificate() const { return m_certificate; }

    private:
        Kind m_kind;
        QSslCertificate m_certificate;
    };

    // The client's network is made at its first call, on the calling thread, where every later call and the
    // destructor are to run too.
    explicit CalDavClient(Account account);
    ~CalDavClient();
    CalDavClient(const CalDavClient&) = delete;
    CalDavClient& operator=(const CalDavClient&) = delete;

    // The account's calendars: its url itself when that is a calendar collection, otherwise those found through
    // /.well-known/caldav, the current user's principal and its calendar home.
    std::vector<Calendar> calendars();

    // What changed since syncToken (empty: everything): one sync-collection REPORT where the server offers it,
    // otherwise a listing of every object's ETag.
    Changes changes(const QUrl& calendar, const QByteArray& syncToken);

    // The objects' texts and ETags (calendar-multiget, in batches); an href the server no longer has is left out. An
    // answer that can't be read is asked for again in halves, down to the single object, which comes back marked
    // unreadable: one object the server sends broken keeps none of the others away.
    std::vector<Object> fetch(const QUrl& calendar, const std::vector<QString>& hrefs);

    // How much of a compressed answer is unpacked before Qt Network may stop it as a likely bomb. Qt's own guard
    // stops one past 10 MB packed some 40 times over, as one object with a long description of repeated text is;
    // an answer stopped is then an error, never read as if whole.
    static constexpr qint64 maxUnpackedAnswer = 256 * 1024 * 1024;

    // Writes an object: with If-Match etag, or If-None-Match: * when etag is empty (a new object). Returns the new
    // ETag, empty when the server does not give one. Someone else's change meanwhile fails with PreconditionFailed;
    // an object the server will not take fails with Refused.
    QByteArray put(const QString& href, const QByteArray& data, const QByteArray& etag);
    // Deletes an object with If-Match etag; one already gone counts as deleted, one the server keeps fails with
    // Refused.
    void remove(const QString& href, const QByteArray& etag);

    // Makes the call under way, and every later one, fail with Cancelled; callable from any thread.
    void cancel();

    // How many HTTP requests the client has sent, redirections counted: what a sync costs.
    int requestsSent() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
