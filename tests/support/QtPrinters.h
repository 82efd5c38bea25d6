#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVariant>

#include <ostream>

// Readable gtest output for the Qt types the tests compare.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '[' << list.join(QStringLiteral("|")).toStdString() << ']';
}
inline void PrintTo(const QDateTime& moment, std::ostream* out)
{
    *out << moment.toString(Qt::ISODateWithMs).toStdString();
}
inline void PrintTo(const QDate& date, std::ostream* out)
{
    *out << date.toString(Qt::ISODate).toStdString();
}
inline void PrintTo(const QTime& time, std::ostream* out)
{
    *out << time.toString(Qt::ISODateWithMs).toStdString();
}
inline void PrintTo(const QVariant& value, std::ostream* out)
{
    if (value.isNull())
        *out << "NULL";
    else
        *out << value.typeName() << '(' << value.toString().toStdString() << ')';
}
