#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Base of every error the program reports: it carries the exact text the user sees.
class Error : public std::exception
{
public:
    explicit Error(QString text);
    const QString& text() const noexcept { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

// An error reported by the database engine (file, connection, statement, write-back).
class EngineError : public Error
{
public:
    using Error::Error;
};

// The database server could not be reached, or the connection to it broke: the next operation connects anew.
class ServerUnreachable : public EngineError
{
public:
    using EngineError::EngineError;
};
