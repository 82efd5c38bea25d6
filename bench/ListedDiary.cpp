#include "ListedDiary.h"

#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"

ListedDiary::ListedDiary(const DiaryRows& rows)
    : m_diary(rows), m_connection(DiaryBackend::open(m_diary.connectionString()), JobTable::schema()),
      m_list(QStringLiteral("QJob"), m_connection)
{
    m_list.setSql({QStringLiteral("select * from job order by id_job")});
    m_list.open();
}
