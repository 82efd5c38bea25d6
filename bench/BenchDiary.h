#pragma once

#include "DiaryRows.h"

#include <QString>
#include <QTemporaryDir>

// A diary file db1.mdb holding the given events, in a temporary folder that is the current directory for the
// object's lifetime, so record sets opened with the program's relative connection string find it.
class BenchDiary
{
public:
    explicit BenchDiary(const DiaryRows& rows);
    ~BenchDiary();
    BenchDiary(const BenchDiary&) = delete;
    BenchDiary& operator=(const BenchDiary&) = delete;

    // The data module's own connection string, which names db1.mdb in the current directory.
    static QString connectionString();
    QString path() const;
    // A file next to the diary, such as an export's workbook, removed with the folder.
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
};
