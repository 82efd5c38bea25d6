#include "BenchDiary.h"

#include "diary/JobTable.h"

#include <stdexcept>

BenchDiary::BenchDiary(const DiaryRows& rows)
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
    rows.writeTo(path());
}

QString BenchDiary::connectionString() const
{
    return JobTable::connectionString(path());
}

QString BenchDiary::path() const
{
    return m_dir.filePath(QStringLiteral("db1.mdb"));
}
