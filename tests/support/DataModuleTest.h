#pragma once

#include "diary/UnitDM.h"
#include "support/FixedClock.h"
#include "support/TempDiary.h"

#include <gtest/gtest.h>

#include <memory>

// A temporary diary, the clock fixed at 12.03.2026 14:05:09, and the data module created over it on demand
// (after the test has added its rows or written its database.conf).
class DataModuleTest : public ::testing::Test
{
protected:
    TDataModule1& module()
    {
        if (!m_module)
            m_module = std::make_unique<TDataModule1>(diary.location().connectionString());
        return *m_module;
    }

    // QJob re-opened over every row in id order.
    RecordSet& allJobs()
    {
        RecordSet& q = module().QJob;
        q.setSql({QStringLiteral("select * from job order by id_job")});
        q.open();
        return q;
    }

    static QDateTime moment() { return QDateTime(QDate(2026, 3, 12), QTime(14, 5, 9)); }

    TempDiary diary;
    FixedClock clock{moment()};

private:
    std::unique_ptr<TDataModule1> m_module;
};
