#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

namespace {

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        // Each run has a runtime folder of its own, as each login has.
        ASSERT_TRUE(QDir(m_root.path()).mkdir(QStringLiteral("runtime")));
        QFile::setPermissions(m_root.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const char* folder : {"diary", "other"})
            ASSERT_TRUE(QDir(m_root.path()).mkdir(QString::fromLatin1(folder)));
        ASSERT_TRUE(QFile::link(m_root.filePath(QStringLiteral("diary")), m_root.filePath(QStringLiteral("link"))));
    }

    // Starts the probe in a folder under the root; waits for its first line.
    std::unique_ptr<QProcess> start(const char* folder)
    {
        auto process = std::make_unique<QProcess>();
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_root.filePath(QStringLiteral("runtime")));
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(m_root.filePath(QString::fromLatin1(folder)));
        process->start(QStringLiteral(INSTANCE_PROBE), {});
        EXPECT_TRUE(process->waitForStarted(10000));
        EXPECT_TRUE(process->waitForReadyRead(10000)) << folder;
        return process;
    }

    static QByteArray line(QProcess& process) { return process.readLine().trimmed(); }

    QTemporaryDir m_root;
};

} // namespace

TEST_F(SingleInstanceTest, ASecondStartOnTheSameDiaryHandsOverOthersRunBesideAndAKilledOneBlocksNothing)
{
    auto first = start("diary");
    EXPECT_EQ(line(*first), "first");

    // The same folder reached through a link is the same diary.
    for (const char* folder : {"diary", "link"}) {
        auto second = start(folder);
        ASSERT_TRUE(second->waitForFinished(10000));
        EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second->exitCode(), 0);
        EXPECT_EQ(line(*second), "handed over") << folder;
        if (!first->canReadLine())
            first->waitForReadyRead(10000);
        EXPECT_EQ(line(*first), "shown") << folder;
        ASSERT_TRUE(first->waitForFinished(10000));
        first = start("diary");
        EXPECT_EQ(line(*first), "first");
    }

    auto other = start("other");
    EXPECT_EQ(line(*other), "first");

    // Killed outright: its lock goes with it, its socket file is left behind.
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(10000));
    auto again = start("diary");
    EXPECT_EQ(line(*again), "first");
    auto handedOver = start("link");
    ASSERT_TRUE(handedOver->waitForFinished(10000));
    EXPECT_EQ(line(*handedOver), "handed over");

    for (QProcess* running : {again.get(), other.get()}) {
        running->kill();
        running->waitForFinished(10000);
    }
}
