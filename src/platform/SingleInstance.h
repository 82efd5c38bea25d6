#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One program per diary folder. The first start on a folder takes a lock named after the folder's real path in the
// user's runtime folder and listens on a local socket of the same name; a later start on the same folder finds the
// lock taken, asks the running program over the socket to show its window, and ends. The kernel drops the lock
// with the process that held it, so a killed program leaves nothing that blocks the next start.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role { First, HandedOver };

    // diaryFolder: a full path.
    explicit SingleInstance(const QString& diaryFolder, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the diary for this process and listens, or hands over to the process that holds it. Where the lock
    // can't be had at all (no runtime folder) the program runs as it always did: First.
    Role claim();

    // The socket's path; the lock is the same path ending in .lock.
    const QString& socketPath() const { return m_socketPath; }

    // <runtime folder>/chronoteka-<hash of the folder's real path>.socket
    static QString socketPathFor(const QString& diaryFolder);

signals:
    // A later start on this diary asked for the window.
    void showRequested();

private:
    bool askToShow() const;
    void listen();
    void answer();

    QString m_socketPath;
    int m_lock = -1;
    QLocalServer m_server;
};
