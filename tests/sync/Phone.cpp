#include "Phone.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

Phone::Phone(QUrl calendar, QString user, QString password)
    : m_calendar(std::move(calendar)), m_user(std::move(user)), m_password(std::move(password))
{
}

QJsonArray Phone::run(const QStringList& arguments) const
{
    return QJsonDocument::fromJson(output(arguments)).array();
}

QByteArray Phone::output(const QStringList& arguments) const
{
    QProcess python;
    // Debian's own Python, which python3-caldav installs into.
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral(PHONE), m_calendar.toString(), m_user, m_password} + arguments);
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return python.readAllStandardOutput();
}

std::map<QString, Phone::Item> Phone::objects() const
{
    std::map<QString, Item> seen;
    for (const QJsonValue& value : run({QStringLiteral("list")})) {
        const QJsonObject object = value.toObject();
        Item& item = seen[object[QStringLiteral("summary")].toString()];
        item.kind = object[QStringLiteral("kind")].toString();
        item.status = object[QStringLiteral("status")].toString();
        for (const QJsonValue& a : object[QStringLiteral("attendees")].toArray())
            item.attendees << a.toString();
        for (const QJsonValue& c : object[QStringLiteral("categories")].toArray())
            item.categories << c.toString();
        ++item.count;
    }
    return seen;
}
