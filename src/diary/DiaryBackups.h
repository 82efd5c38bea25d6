#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

// The copies of a diary the program makes without asking (at the first start of a day, before an import, a restore
// or a copy into it), kept in a folder of the user's data outside the diary folder, which users may sync: one diary
// file each, named by the diary's identity and the moment it was made. They are rotated (every copy of the last 24
// hours, then the newest of each of the last 7 days, 4 weeks and 6 months) and all of them together never take more
// than a share of the disk, nor more than a set limit. A server's diary is copied row by row into a diary file.
class DiaryBackups
{
public:
    struct Limits
    {
        int diskPercent = 10;
        qint64 maxBytes = qint64(4) << 30;
    };

    // One copy of this diary.
    struct Backup
    {
        QString path;
        QDateTime made;
        qint64 events = -1; // -1 when the copy can't be read
        qint64 size = 0;
    };

    // The folder of the copies within the user's data folder (${XDG_DATA_HOME:-~/.local/share}): beside the usual
    // diary folder there (chronoteka), not inside it.
    static constexpr const char* folderName = "chronoteka-backups";

    // folder: where the copies are kept, made when missing; connectionString: the diary's.
    DiaryBackups(QString folder, QString connectionString, Limits limits);

    const QString& folder() const { return m_folder; }

    // Makes a copy of the diary as it stands now and rotates the copies, never removing spared. Returns the copy's
    // path; throws Error with what the user is told when it fails, leaving no copy behind.
    QString make(const QString& spared = {});
    // Whether a copy of this diary was made on that day.
    bool madeOn(const QDate& day) const;
    // This diary's copies, newest first.
    std::vector<Backup> list() const;

    // Puts the copy's events (and the program's own tables that go with them) in place of the diary's, in one
    // transaction, after a copy of the diary as it stands; the diary keeps its identity and its sync state, so the
    // next sync sends the difference as ordinary changes. Returns the number of events restored; throws Error, the
    // diary as it was.
    qint64 restore(const QString& path);

    // Checks a file offered as a copy of a diary and returns its number of events; throws Error telling the user
    // what is wrong with it.
    static qint64 check(const QString& path);

    // Copies the diary at connectionString into a new diary file at path (not there yet), as the copies here are.
    static void copyTo(const QString& connectionString, const QString& path);

    // Which of the copies made at these moments the rotation keeps at now, in the same order.
    static std::vector<bool> kept(const std::vector<QDateTime>& made, const QDateTime& now);

private:
    QString identity() const;
    std::vector<Backup> ofDiary(const QString& identity, bool withEvents) const;
    void rotate(const QString& identity, const QString& made, const QString& spared);

    QString m_folder;
    QString m_connectionString;
    Limits m_limits;
};
