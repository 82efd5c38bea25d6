#include "DiaryFile.h"
#include "support/QtPrinters.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class TwoProcesses : public ::testing::TestWithParam<DiaryKind>
{
};

} // namespace

// Each writer adds its rows and raises one shared counter, retrying a raise another got in first: every post
// lands, and no raise overwrites another's.
TEST_P(TwoProcesses, WritersOfTheSameDiaryLoseNothing)
{
    const bool server = GetParam() == DiaryKind::Server;
    const int writers = server ? 2 : 3;
    const int rowsEach = server ? 250 : 40;
    DiaryFile diary(GetParam());
    diary.execute("INSERT INTO job (job, other) VALUES ('counter', '0')");

    std::vector<std::unique_ptr<QProcess>> processes;
    for (int w = 0; w < writers; ++w) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(ENGINE_WRITER),
                       {diary.connectionString(), QStringLiteral("writer%1").arg(w), QString::number(rowsEach)});
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

INSTANTIATE_TEST_SUITE_P(Diaries, TwoProcesses, bothDiaryKinds(), diaryKindName);
