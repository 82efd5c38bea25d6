#pragma once

#include "databind/DataSource.h"
#include "databind/RecordSet.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "support/TempDiary.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A temporary diary with a record set "Q" over its rows in id order, and a data source for it.
class DiaryTest : public ::testing::Test
{
protected:
    // Adds rows "job 0", "job 1", ... and opens the set over them.
    RecordSet& openSet(int rows)
    {
        for (int i = 0; i < rows; ++i)
            ids.push_back(addJob(QStringLiteral("job %1").arg(i)));
        connection = std::make_unique<Connection>(DiaryBackend::open(diary.connectionString()), JobTable::schema());
        set = std::make_unique<RecordSet>(QStringLiteral("Q"), *connection);
        set->setSql({QStringLiteral("select * from job order by id_job")});
        source = std::make_unique<DataSource>(QStringLiteral("SQ"), set.get());
        set->open();
        return *set;
    }

    qint64 addJob(const QString& job)
    {
        return diary.addRow({{QStringLiteral("job"), job}, {QStringLiteral("vip"), false}});
    }

    QString job() const { return set->fieldByName(QStringLiteral("job")).displayText(); }

    TempDiary diary;
    std::vector<qint64> ids;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<RecordSet> set;
    std::unique_ptr<DataSource> source;
};
