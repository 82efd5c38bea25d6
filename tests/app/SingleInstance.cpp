#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <functional>
#include <ostream>

namespace {

// What a start finds where sockets and locks are usually kept: each variable set to its value, or unset when empty.
struct Places
{
    QString runtime;
    QString temporary;
};

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        // Each run has a runtime folder of its own, as each login has.
        ASSERT_TRUE(QDir(m_root.path()).mkdir(QStringLiteral("runtime")));
        QFile::setPermissions(path("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const char* folder : {"diary", "other"})
            ASSERT_TRUE(QDir(m_root.path()).mkdir(QString::fromLatin1(folder)));
        ASSERT_TRUE(QFile::link(path("diary"), path("link")));
        m_places = {path("runtime"), QDir::tempPath()};
    }

    QString path(const char* name) const { return m_root.filePath(QString::fromLatin1(name)); }

    // Starts the probe in a folder under the root; waits for its first line.
    std::unique_ptr<QProcess> start(const char* folder)
    {
        auto process = std::make_unique<QProcess>();
        auto environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [variable, value] : {std::pair{QStringLiteral("XDG_RUNTIME_DIR"), m_places.runtime},
                                              std::pair{QStringLiteral("TMPDIR"), m_places.temporary}}) {
            if (value.isEmpty())
                environment.remove(variable);
            else
                environment.insert(variable, value);
        }
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(path(folder));
        process->start(QStringLiteral(INSTANCE_PROBE), {});
        EXPECT_TRUE(process->waitForStarted(10000));
        EXPECT_TRUE(process->waitForReadyRead(10000)) << folder;
        return process;
    }

    static QByteArray line(QProcess& process)
    {
        if (!process.canReadLine())
            process.waitForReadyRead(10000);
        return process.readLine().trimmed();
    }

    static void stop(std::initializer_list<QProcess*> processes)
    {
        for (QProcess* running : processes) {
            running->kill();
            running->waitForFinished(10000);
        }
    }

    // Starts the probe in folder and expects it to hand over to first, which shows its window and ends.
    void expectHandedOver(QProcess& first, const char* folder)
    {
        auto second = start(folder);
        ASSERT_TRUE(second->waitForFinished(10000));
        EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second->exitCode(), 0);
        EXPECT_EQ(line(*second), "handed over") << folder;
        EXPECT_EQ(line(first), "shown") << folder;
        ASSERT_TRUE(first.waitForFinished(10000));
    }

    QTemporaryDir m_root;
    Places m_places;
};

TEST_F(SingleInstanceTest, ASecondStartOnTheSameDiaryHandsOverOthersRunBesideAndAKilledOneBlocksNothing)
{
    auto first = start("diary");
    EXPECT_EQ(line(*first), "first");

    // The same folder reached through a link is the same diary.
    for (const char* folder : {"diary", "link"}) {
        expectHandedOver(*first, folder);
        first = start("diary");
        EXPECT_EQ(line(*first), "first");
    }

    auto other = start("other");
    EXPECT_EQ(line(*other), "first");

    // Killed outright: nothing it held is left to block the next start.
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(10000));
    auto again = start("diary");
    EXPECT_EQ(line(*again), "first");
    auto handedOver = start("link");
    ASSERT_TRUE(handedOver->waitForFinished(10000));
    EXPECT_EQ(line(*handedOver), "handed over");

    stop({again.get(), other.get()});
}

// Folders that can hold no socket and no lock, made so that root can't write there either: a directory on a path
// can't be replaced by a socket or a lock file, nothing can be made in or below a regular file, and a socket's path
// has room for 107 bytes.
struct UnusableRuntime
{
    const char* name;
    std::function<Places(const QString& root, const QString& serverName)> make;
};

void PrintTo(const UnusableRuntime& runtime, std::ostream* out)
{
    *out << runtime.name;
}

class UnusableRuntimeFolder : public SingleInstanceTest, public ::testing::WithParamInterface<UnusableRuntime>
{
};

Places squatted(const QString& root, const QString& serverName, const QStringList& endings)
{
    for (const char* folder : {"squatted-runtime", "squatted-temporary"})
        for (const QString& ending : endings)
            QDir(root).mkpath(QStringLiteral("%1/%2%3").arg(QString::fromLatin1(folder), serverName, ending));
    return {root + QStringLiteral("/squatted-runtime"), root + QStringLiteral("/squatted-temporary")};
}

Places aFile(const QString& root, const QString& below)
{
    QFile file(root + QStringLiteral("/file"));
    file.open(QIODevice::WriteOnly);
    return {file.fileName() + below, file.fileName() + below};
}

const UnusableRuntime unusableRuntimes[] = {
    {"DirectoriesOnTheSocketsPaths",
     [](const QString& root, const QString& serverName) {
         return squatted(root, serverName, {QString(), QStringLiteral(".socket")});
     }},
    {"DirectoriesOnTheLocksPaths",
     [](const QString& root, const QString& serverName) {
         return squatted(root, serverName, {QStringLiteral(".lock"), QStringLiteral(".socket.lock")});
     }},
    {"AFile", [](const QString& root, const QString&) { return aFile(root, QString()); }},
    {"BelowAFile", [](const QString& root, const QString&) { return aFile(root, QStringLiteral("/runtime")); }},
    {"None",
     [](const QString& root, const QString&) {
         return Places{QString(), aFile(root, QString()).temporary};
     }},
    {"TooLongForASocket",
     [](const QString& root, const QString&) {
         const QString deep = root + QStringLiteral("/%1/%1/%1").arg(QString(50, QLatin1Char('d')));
         QDir().mkpath(deep);
         return Places{deep, deep};
     }},
};

TEST_P(UnusableRuntimeFolder, StillOneProgramPerDiary)
{
    m_places = GetParam().make(m_root.path(), SingleInstance::serverNameFor(path("diary")));

    auto first = start("diary");
    EXPECT_EQ(line(*first), "first");
    auto other = start("other");
    EXPECT_EQ(line(*other), "first");
    expectHandedOver(*first, "link");
    stop({other.get()});
}

INSTANTIATE_TEST_SUITE_P(Runtime, UnusableRuntimeFolder, ::testing::ValuesIn(unusableRuntimes),
                         [](const auto& info) { return std::string(info.param.name); });

// Started as another user, as any user may: it can take any name in the abstract namespace and ask over any.
std::unique_ptr<QProcess> startStranger(const char* mode, const QString& serverName)
{
    auto stranger = std::make_unique<QProcess>();
    stranger->setChildProcessModifier([] {
        constexpr gid_t nobody = 65534;
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(2);
    });
    stranger->setWorkingDirectory(QDir::rootPath());
    stranger->start(QStringLiteral(INSTANCE_PROBE), {QString::fromLatin1(mode), serverName});
    EXPECT_TRUE(stranger->waitForStarted(10000));
    return stranger;
}

TEST_F(SingleInstanceTest, AnotherUserOnTheSocketsNameLetsOneProgramRunAndTheNextEndsWithABox)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can start a process as another user";
    auto stranger = startStranger("--squat", SingleInstance::serverNameFor(path("diary")));
    ASSERT_EQ(line(*stranger), "squatting");

    auto first = start("diary");
    EXPECT_EQ(line(*first), "first");
    auto other = start("other");
    EXPECT_EQ(line(*other), "first");
    for (const char* folder : {"diary", "link"}) {
        auto refused = start(folder);
        ASSERT_TRUE(refused->waitForFinished(10000));
        EXPECT_EQ(refused->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(refused->exitCode(), 1);
        EXPECT_EQ(QString::fromUtf8(line(*refused)),
                  QStringLiteral("box Хронотека: Программа уже запущена для этого ежедневника, но не отвечает."))
            << folder;
    }
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_FALSE(first->canReadLine());

    // The stranger is not heard either: the next line the other diary's program says is for our own start.
    auto asking = startStranger("--ask", SingleInstance::serverNameFor(path("other")));
    ASSERT_TRUE(asking->waitForFinished(10000));
    EXPECT_EQ(line(*asking), "asked");
    expectHandedOver(*other, "other");

    // The one running behind the stranger is killed: what it held goes with it.
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(10000));
    auto again = start("link");
    EXPECT_EQ(line(*again), "first");

    stop({again.get(), stranger.get()});
}

} // namespace
