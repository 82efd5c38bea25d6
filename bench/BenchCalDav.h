#pragma once

#include "ScriptedServer.h"

#include <QString>
#include <QUrl>

// A private Radicale for one benchmark run, started by tests/support/caldav-server.sh on 127.0.0.1 with its storage
// in a folder under /dev/shm, and stopped with the object or by a watchdog when the benchmark ends any other way.
class BenchCalDav
{
public:
    // Throws std::runtime_error when the server does not start.
    BenchCalDav();

    QString user() const { return m_user; }
    QString password() const { return m_password; }
    // The value of an Authorization header with the user and password.
    QByteArray authorization() const;
    // A new, empty calendar collection with a name no other call gives; its path ends in /. Throws
    // std::runtime_error when the server makes none.
    QUrl makeCalendar();
    // A new calendar collection holding the calendar's components, put in one request; its path ends in /. Throws
    // std::runtime_error when the server refuses it.
    QUrl putCollection(const QByteArray& calendar);

private:
    // Sends the request, waits for its answer and throws unless its status is the one expected.
    void send(const QUrl& url, const QByteArray& method, const QByteArray& contentType, const QByteArray& body,
              int expected) const;
    QUrl newUrl();

    ScriptedServer m_server;
    QUrl m_calendarUrl;
    QString m_user;
    QString m_password;
    int m_made = 0;
};
