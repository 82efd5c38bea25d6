#pragma once

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QObject>
#include <QString>

// One program per diary folder. The first start on a folder listens on a local socket in the abstract namespace,
// named after the user and the folder's real path; a later start on the same folder finds the name taken, asks the
// running program over it to show its window, and ends.
//
// The name is the guard, not a file: an abstract name has no path, so nothing in the runtime or temporary folder
// (a directory on a path, a read-only or missing folder, a path too long for a socket) can stop the first start
// from taking it or let a second one miss it, and the environment a start gets does not change it. The kernel drops
// the name with the process, so a killed program leaves nothing that blocks the next start, and the name lives in
// this machine's network namespace, so computers sharing a diary folder over the network each run their own.
//
// An abstract name has no owner check, so another user may sit on ours. The peer's credentials tell: a start that
// finds a stranger on the name falls back to a lock on the diary folder itself (flock on its directory, which needs
// neither a file nor a writable folder and goes with the process too). The first start behind a stranger takes that
// lock and runs without the name; a later one finds the lock held and nobody to ask, and ends: Unanswered, as it
// does when the name's holder takes no connection at all. Ending is the point: a second program beside the first
// would bring every reminder twice.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role { First, HandedOver, Unanswered };

    // diaryFolder: a full path.
    explicit SingleInstance(const QString& diaryFolder, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the diary for this process and listens, or hands over to the process that holds it; Unanswered when
    // one holds it and can't be reached.
    Role claim();

    // chronoteka-<uid>-<hash of the folder's real path>: the socket's name in the abstract namespace.
    static QString serverNameFor(const QString& diaryFolder);

signals:
    // A later start on this diary asked for the window.
    void showRequested();

private:
    enum class Reply { Sent, Stranger, Nobody };

    Reply askToShow(const QDeadlineTimer& deadline) const;
    Role byFolderLock();
    void answer();

    QString m_diaryFolder;
    QString m_serverName;
    int m_lock = -1;
    QLocalServer m_server;
};
