#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <map>

// The second client of a calendar collection, as a phone would be: phone.py, which makes, edits, completes, deletes
// and lists objects with python3-caldav.
class Phone
{
public:
    // An object as the tests look at it.
    struct Item
    {
        QString kind;
        QString status;
        QStringList attendees;
        QStringList categories;
        // Objects of the same summary.
        int count = 0;
    };

    Phone(QUrl calendar, QString user, QString password);

    // Runs one command of phone.py (see there); its list when asked for one. A failure fails the test.
    QJsonArray run(const QStringList& arguments) const;
    // What the command prints.
    QByteArray output(const QStringList& arguments) const;
    // The collection's objects by their summary.
    std::map<QString, Item> objects() const;

private:
    QUrl m_calendar;
    QString m_user;
    QString m_password;
};
