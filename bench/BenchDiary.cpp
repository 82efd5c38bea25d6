#include "BenchDiary.h"

#include "units/UnitDM.h"

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
    return TDataModule1::connectionString();
}

QString BenchDiary::path() const
{
    return m_dir.filePath(QStringLiteral("db1.mdb"));
}
