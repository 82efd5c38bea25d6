#pragma once

#include <QDir>
#include <QString>

// The process's current directory set to folder for the object's lifetime, so that a test shows nothing finds its
// files there.
class CurrentDirectory
{
public:
    explicit CurrentDirectory(const QString& folder) : m_previous(QDir::currentPath()) { QDir::setCurrent(folder); }
    ~CurrentDirectory() { QDir::setCurrent(m_previous); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    QString m_previous;
};
