#pragma once

#include "DiaryRows.h"

#include <QString>
#include <QTemporaryDir>

// A diary file db1.mdb holding the given events, in a temporary folder.
class BenchDiary
{
public:
    explicit BenchDiary(const DiaryRows& rows);
    BenchDiary(const BenchDiary&) = delete;
    BenchDiary& operator=(const BenchDiary&) = delete;

    // The connection string the data module would be given for it.
    QString connectionString() const;
    QString path() const;
    // A file next to the diary, such as an export's workbook, removed with the folder.
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};
