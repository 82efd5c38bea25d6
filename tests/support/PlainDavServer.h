#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

// A calendar server of the test's own (support/plain-dav.py) that serves each object byte for byte as the test put
// it, however broken, compressed when the client takes it so: what a sync meets from another client's worst. It runs
// on 127.0.0.1 while the object lives. Errors are std::runtime_error.
class PlainDavServer
{
public:
    PlainDavServer();
    ~PlainDavServer();
    PlainDavServer(const PlainDavServer&) = delete;
    PlainDavServer& operator=(const PlainDavServer&) = delete;

    // The collection, its path ending in /.
    QUrl calendarUrl() const { return m_calendarUrl; }
    // The object's href in the collection.
    QString href(const QString& name) const { return m_calendarUrl.path() + name; }

    // Puts an object in the collection, or replaces it, as another client would.
    void put(const QString& name, const QByteArray& data) const;
    QByteArray object(const QString& name) const;
    // The objects' names, sorted.
    QStringList names() const;
    // Every write whose body holds text is answered with status from now on.
    void refuse(const QByteArray& text, int status) const;
    // How many requests of the method the server has had, for the paths that end in pathEnd when given.
    int requests(const QByteArray& method, const QString& pathEnd = {}) const;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    QUrl m_calendarUrl;
};
