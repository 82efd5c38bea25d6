#pragma once

#include "BenchDiary.h"
#include "databind/RecordSet.h"
#include "engine/Connection.h"

// A diary holding the given events with the list over it open in the order they were written, as the main window
// shows it when an export reads it.
class ListedDiary
{
public:
    explicit ListedDiary(const DiaryRows& rows);

    RecordSet& list() { return m_list; }
    // The connection string of the diary, for a connection of the caller's own.
    QString connectionString() const { return m_diary.connectionString(); }
    // A file next to the diary, removed with it.
    QString file(const char* name) const { return m_diary.filePath(QString::fromLatin1(name)); }

private:
    BenchDiary m_diary;
    Connection m_connection;
    RecordSet m_list;
};
