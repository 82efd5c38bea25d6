#include "BenchDiary.h"

#include "diary/JobTable.h"

#include <QDir>

#include <stdexcept>

BenchDiary::BenchDiary(const DiaryRows& rows) : m_previousDir(QDir::currentPath())
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
    rows.writeTo(path());
    QDir::setCurrent(m_dir.path());
}

BenchDiary::~BenchDiary()
{
    QDir::setCurrent(m_previousDir);
}

QString BenchDiary::connectionString()
{
    return JobTable::connectionString();
}

QString BenchDiary::path() const
{
    return m_dir.filePath(QStringLiteral("db1.mdb"));
}
