#pragma once

#include "engine/TableSchema.h"

#include <QString>
#include <QStringList>

// Backups of a diary file: a consistent copy made while other programs write it, the check of a copy before it is
// trusted, and putting a copy's rows back in place of the diary's.
namespace SqliteBackup {

// The format of the copies this program writes, kept in the copy's user_version; a copy stamped higher comes from
// a newer program, whose tables this one may not know how to carry.
constexpr int formatVersion = 1;

// Copies the diary file at diaryPath to target, which must not be there yet, with SQLite's online backup: one read
// transaction, so the copy is the diary as it stood at one moment while other connections go on writing. Written
// under a temporary name beside target and renamed, so a copy cut short never passes for one. Throws EngineError.
void copy(const QString& diaryPath, const QString& target);

// Stamps a diary file written by other means (a server's diary copied row by row) as a copy of this format.
void stamp(const QString& path);

// What a file offered as a copy turned out to be.
enum class Verdict { Diary, NotRegular, NotDiary, Newer, Damaged };

struct Checked
{
    Verdict verdict = Verdict::NotDiary;
    qint64 events = 0; // the rows of table, for a Diary
    QString reason;    // the system's words, for NotRegular
};

// Checks the file at path without waiting on it: a regular file (a FIFO or device is refused unread), an SQLite
// database that holds table, of a format this program reads, whose structure SQLite finds sound (unless sound is
// false, as for a list of copies that only counts their events).
Checked check(const QString& path, const TableSchema& table, bool sound = true);

// Makes the rows of table and of the program's own tables (named chronoteka_...) in the diary file at diaryPath the
// rows of the copy at copyPath, in one write transaction: the diary is either all as it was or all the copy's, even
// when the process is killed half-way. The tables named in kept, and the search index, stay as the diary has them;
// the index is built anew at the next search. A table of ours the copy lacks is emptied; one the diary lacks is
// made as the copy has it. Keys are kept, and the table's key sequence never goes back, so a key the diary once
// used is never given to a new event. The copy should have passed check(). Throws EngineError.
void restore(const QString& diaryPath, const QString& copyPath, const TableSchema& table, const QStringList& kept,
             int busyTimeoutMilliseconds);

} // namespace SqliteBackup
