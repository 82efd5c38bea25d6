#include "DiaryFile.h"
#include "support/QtPrinters.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

TEST(TwoProcesses, WritersOfTheSameFileLoseNothing)
{
    constexpr int writers = 3;
    constexpr int rowsEach = 40;
    DiaryFile diary;
    diary.execute("INSERT INTO job (job, other) VALUES ('counter', '0')");

    std::vector<std::unique_ptr<QProcess>> processes;
    for (int w = 0; w < writers; ++w) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(ENGINE_WRITER),
                       {diary.path(), QStringLiteral("writer%1").arg(w), QString::number(rowsEach)});
        processes.push_back(std::move(process));
    }
    for (auto& process : processes) {
        ASSERT_TRUE(process->waitForFinished(120000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0);
    }
    EXPECT_EQ(diary.scalar("SELECT count(DISTINCT job) FROM job WHERE period = 'writer'"),
              QString::number(writers * rowsEach));
    EXPECT_EQ(diary.scalar("SELECT other FROM job WHERE job = 'counter'"), QString::number(writers * rowsEach));
}
