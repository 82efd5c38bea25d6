#include "settings/ConfigFile.h"

#include "base/Error.h"
#include "platform/BootClockTimer.h"
#include "support/InChild.h"
#include "support/QtPrinters.h"
#include "support/ReadOnlyFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray littleEndian(std::initializer_list<qint32> values)
{
    QByteArray bytes;
    for (const qint32 value : values) {
        const auto u = static_cast<quint32>(value);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.append(static_cast<char>((u >> shift) & 0xFF));
    }
    return bytes;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString errorText(const std::function<void()>& body)
{
    try {
        body();
    } catch (const Error& error) {
        return error.text();
    }
    return {};
}

class ConfigFileTest : public ::testing::Test
{
protected:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("config.dat")); }
};

} // namespace

TEST_F(ConfigFileTest, WrittenValuesReadBackInOrderAsLittleEndian)
{
    const TimerIntervals::Minutes minutes = {1, 60, 180, 0, 35791, 120};
    ConfigFile(path()).write(minutes);

    EXPECT_EQ(readBytes(path()), littleEndian({1, 60, 180, 0, 35791, 120}));
    const TimerIntervals::StoredMinutes read = ConfigFile(path()).read();
    for (int i = 0; i < TimerIntervals::count; ++i)
        EXPECT_EQ(read[i], std::optional<qint32>(minutes[i])) << i;
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("config.dat")})
        << "no temporary file may be left behind";
}

TEST_F(ConfigFileTest, ValuesTheFileDoesNotWhollyHoldOrTheTimersCannotTakeAreAbsent)
{
    const struct
    {
        const char* name;
        QByteArray bytes;
        TimerIntervals::StoredMinutes expected;
    } cases[] = {
        {"empty", {}, {}},
        {"two and a half values", littleEndian({5, 6, 7}).left(10), {{5, 6, {}, {}, {}, {}}}},
        {"23 bytes", littleEndian({1, 2, 3, 4, 5, 6}).left(23), {{1, 2, 3, 4, 5, {}}}},
        {"longer than 24 bytes", littleEndian({1, 2, 3, 4, 5, 6, 7, 8}), {{1, 2, 3, 4, 5, 6}}},
        {"out of range",
         littleEndian({-1, 35792, 35791, -2147483647 - 1, 2147483647, 0}),
         {{{}, {}, 35791, {}, {}, 0}}},
    };
    for (const auto& c : cases) {
        writeBytes(path(), c.bytes);
        EXPECT_EQ(ConfigFile(path()).read(), c.expected) << c.name;
    }
}

TEST_F(ConfigFileTest, StartUpAppliesOnlyUsableValuesAndNothingWithoutAFile)
{
    BootClockTimer timers[TimerIntervals::count];
    TimerIntervals::Timers pointers{};
    for (int i = 0; i < TimerIntervals::count; ++i) {
        timers[i].start(TimerIntervals::builtInMilliseconds[i]);
        pointers[i] = &timers[i];
    }

    ConfigFile(path()).loadInto(pointers);
    for (int i = 0; i < TimerIntervals::count; ++i)
        EXPECT_EQ(timers[i].interval(), TimerIntervals::builtInMilliseconds[i]) << "no file, timer " << i;

    writeBytes(path(), littleEndian({1, 99999, 0, 7}));
    ConfigFile(path()).loadInto(pointers);
    EXPECT_EQ(timers[0].interval(), 60000);
    EXPECT_TRUE(timers[0].isActive());
    EXPECT_EQ(timers[1].interval(), 3600000) << "out of range keeps the built-in interval";
    EXPECT_FALSE(timers[2].isActive()) << "0 minutes stops the timer";
    EXPECT_EQ(timers[3].interval(), 7 * 60000);
    EXPECT_EQ(timers[4].interval(), 1000) << "beyond the end of a short file";
    EXPECT_EQ(timers[5].interval(), 7200000);
}

TEST_F(ConfigFileTest, UnreadableFileNamesItsFullPathAndReason)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("config.dat")));
    const ConfigFile file(path());
    EXPECT_TRUE(file.exists());
    const QString text = errorText([&] { file.read(); });
    EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(path()))) << text.toStdString();
    EXPECT_GT(text.size(), QStringLiteral("Cannot open file \"%1\". ").arg(path()).size()) << "a reason follows";
}

TEST_F(ConfigFileTest, FileThatCannotBeCreatedIsReportedWithTheSystemsReason)
{
    // A regular file where the directory should be: no one, not even root, can create anything under it.
    const QString notADirectory = m_dir.filePath(QStringLiteral("diary"));
    writeBytes(notADirectory, "x");
    const QString target = notADirectory + QStringLiteral("/config.dat");
    const QString text = errorText([&] { ConfigFile(target).write({1, 2, 3, 4, 5, 6}); });
    EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(target))) << text.toStdString();
    EXPECT_GT(text.size(), QStringLiteral("Cannot create file \"%1\". ").arg(target).size()) << "a reason follows";
}

TEST_F(ConfigFileTest, ReadOnlyDirectoryKeepsTheOldFile)
{
    ReadOnlyFolder folder(m_dir.path());
    ASSERT_TRUE(folder.isReady());
    const QByteArray old = littleEndian({10, 60, 180, 360, 1, 120});
    writeBytes(path(), old);
    ASSERT_TRUE(folder.seal());
    const QString text = errorText([&] { ConfigFile(path()).write({1, 2, 3, 4, 5, 6}); });
    EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path()))) << text.toStdString();
    EXPECT_EQ(readBytes(path()), old);
}

TEST_F(ConfigFileTest, WriteThatFailsHalfwayKeepsTheOldFile)
{
    const QByteArray old = littleEndian({10, 60, 180, 360, 1, 120});
    writeBytes(path(), old);

    // A file-size limit of 10 bytes lets the new file be created and then stops the write in the middle; the
    // signal the kernel sends for it would end the test instead of failing the write.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString text = errorText([&] { ConfigFile(path()).write({1, 2, 3, 4, 5, 6}); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path()))) << text.toStdString();
    EXPECT_EQ(readBytes(path()), old);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("config.dat")});
}

namespace {

// Non-regular files to put where config.dat or its link's target is: a FIFO, and a character device as root.
QStringList makeOddFiles(const QTemporaryDir& dir)
{
    QStringList made;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    if (::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0)
        made << fifo;
    const QString device = dir.filePath(QStringLiteral("null-device"));
    if (geteuid() == 0 && ::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        made << device;
    return made;
}

} // namespace

TEST_F(ConfigFileTest, OnlyARegularFileIsReadAndAFifoNeverBlocks)
{
    const QStringList odd = makeOddFiles(m_dir);
    ASSERT_FALSE(odd.isEmpty());
    const QString refused = QStringLiteral("Cannot open file \"%1\". Not a regular file").arg(path());
    for (const QString& target : odd) {
        for (const bool linked : {false, true}) {
            QFile::remove(path());
            if (linked)
                ASSERT_TRUE(QFile::link(target, path()));
            else
                ASSERT_TRUE(QFile::rename(target, path()));
            SCOPED_TRACE(target.toStdString() + (linked ? " linked" : " itself"));
            EXPECT_EQ(inChild([this] { return errorText([this] { ConfigFile(path()).read(); }); }), refused);
            // At start-up the timers keep their built-in intervals.
            EXPECT_EQ(inChild([this] {
                          BootClockTimer timer;
                          timer.start(600000);
                          TimerIntervals::Timers pointers{};
                          pointers.fill(&timer);
                          const QString error = errorText([&] { ConfigFile(path()).loadInto(pointers); });
                          return QStringLiteral("%1 %2").arg(error).arg(timer.interval());
                      }),
                      refused + QStringLiteral(" 600000"));
            if (!linked) {
                ASSERT_TRUE(QFile::rename(path(), target));
            }
        }
    }
}

TEST_F(ConfigFileTest, SavingNeverReplacesWhatALinkPointsToUnlessItIsARegularFile)
{
    const QByteArray bytes = littleEndian({1, 2, 3, 4, 5, 6});
    const QString refused = QStringLiteral("Cannot create file \"%1\". Not a regular file").arg(path());
    QStringList odd = makeOddFiles(m_dir);
    ASSERT_FALSE(odd.isEmpty());
    const QString folder = m_dir.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkdir(folder));
    odd << folder;
    for (const QString& target : odd) {
        SCOPED_TRACE(target.toStdString());
        QFile::remove(path());
        ASSERT_TRUE(QFile::link(target, path()));
        struct stat before = {};
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &before), 0);
        EXPECT_EQ(errorText([&] { ConfigFile(path()).write({1, 2, 3, 4, 5, 6}); }), refused);
        struct stat after = {};
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << "replaced";
        EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
    }

    // A link to a regular file, or to none yet, is written through; the link stays.
    const QString regular = m_dir.filePath(QStringLiteral("settings.bin"));
    writeBytes(regular, "old");
    for (const bool exists : {true, false}) {
        if (!exists)
            QFile::remove(regular);
        QFile::remove(path());
        ASSERT_TRUE(QFile::link(regular, path()));
        EXPECT_EQ(errorText([&] { ConfigFile(path()).write({1, 2, 3, 4, 5, 6}); }), QString()) << exists;
        EXPECT_TRUE(QFileInfo(path()).isSymLink());
        EXPECT_EQ(readBytes(regular), bytes) << exists;
    }
}
