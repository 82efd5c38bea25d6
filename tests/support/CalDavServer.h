#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <vector>

// One of the private CalDAV servers ctest starts for the executables marked CALDAV (support/caldav-server.sh), as
// the files in its folder describe it: radicale, xandikos, davical, cyrus or sogo under the folder
// CHRONOTEKA_TEST_CALDAV names. Without
// the variable, or with a folder of a server that did not start, the constructor throws, so that a test run outside
// ctest fails rather than tests nothing. Errors are std::runtime_error.
class CalDavServer
{
public:
    enum class Kind { Radicale, Xandikos, DAViCal, Cyrus, SOGo };
    // Every kind ctest starts, for a suite that runs on each server: SOGo only in a build configured with
    // CHRONOTEKA_TEST_SOGO (tests/CMakeLists.txt says why).
    static std::vector<Kind> kinds();
    // The server's name as users know it; in lower case, its folder's and caldav-server.sh's.
    static QString nameOf(Kind kind);

    // The server ctest started, shared by every test.
    explicit CalDavServer(Kind kind);
    // A server of the caller's own, started in a new folder and stopped with the object, for a test that stops it.
    // With a certificate and its key (PEM files; Radicale only) it speaks TLS alone, its URLs https; its
    // makeCalendar then fails, since the certificate's authority is the test's own. A DAViCal or SOGo of its own
    // keeps its database on the PostgreSQL server the shared one uses.
    static std::unique_ptr<CalDavServer> startOwn(Kind kind, const QString& certificate = {}, const QString& key = {});
    ~CalDavServer();
    CalDavServer(const CalDavServer&) = delete;
    CalDavServer& operator=(const CalDavServer&) = delete;

    Kind kind() const { return m_kind; }
    QString name() const { return nameOf(m_kind); }
    // The server's root, with a path of /.
    QUrl baseUrl() const { return m_baseUrl; }
    // The root of the server's CalDAV, the address its users are told: the root itself but for DAViCal
    // (/caldav.php/) and SOGo (/SOGo/dav/).
    QUrl davUrl() const { return m_davUrl; }
    int port() const { return m_baseUrl.port(); }
    // The calendar collection the server was started with, its path ending in /. Every test that writes should
    // take a calendar of its own from makeCalendar instead.
    QUrl calendarUrl() const { return m_calendarUrl; }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    // Whether the server refuses a wrong password. Xandikos has no authentication of its own and answers anyone.
    bool checksPassword() const { return m_kind != Kind::Xandikos; }
    // The value of an Authorization header with the user and password.
    QByteArray authorization() const;

    // Makes a new, empty calendar collection beside calendarUrl, with a name no other call gives, and returns its
    // URL.
    QUrl makeCalendar() const;

    // Stops the server, keeping its storage, and starts it again on the same port, for tests of a server that
    // goes away. Only a server of the test's own may be stopped: the shared one throws, since other tests use it
    // meanwhile.
    void pause() const;
    void resume() const;

private:
    CalDavServer(Kind kind, const QString& folder);
    void readFolder();
    void runScript(const QString& action, const QStringList& options = {}) const;

    Kind m_kind;
    QString m_folder;
    QUrl m_baseUrl;
    QUrl m_davUrl;
    QUrl m_calendarUrl;
    QString m_user;
    QString m_password;
    bool m_own = false;
};
