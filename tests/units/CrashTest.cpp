#include "support/QtPrinters.h"
#include "support/TempDiary.h"

#include <QProcess>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>

namespace {

// The first column of the first row of sql on the diary, as text, through a connection of its own.
QString scalar(const QString& path, const char* sql, const QString& parameter = {})
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* statement = nullptr;
    QString result = QStringLiteral("(no statement)");
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        const QByteArray text = parameter.toUtf8();
        if (!parameter.isNull())
            sqlite3_bind_text(statement, 1, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        result = sqlite3_step(statement) == SQLITE_ROW
                     ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)))
                     : QStringLiteral("(no row)");
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

} // namespace

// A poster is killed with SIGKILL after a random number of acknowledged posts, while the next is under way; every
// acknowledged post must be in the file afterwards and the file whole.
TEST(CrashTest, PostsAcknowledgedBeforeAKillAreKeptAndTheFileIsWhole)
{
    TempDiary diary;
    const unsigned seed = std::random_device()();
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    QList<qint64> acknowledged;
    for (int round = 0; round < 5; ++round) {
        const int posts = std::uniform_int_distribution<int>(1, 60)(random);
        QProcess poster;
        poster.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        poster.start(QStringLiteral(POSTER), {diary.folder(), QString::number(round * 100000)});
        ASSERT_TRUE(poster.waitForStarted());
        int seen = 0;
        QByteArray pending;
        while (seen < posts) {
            ASSERT_TRUE(poster.waitForReadyRead(60000)) << "round " << round << ": the poster stopped";
            pending += poster.readAllStandardOutput();
            for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
                acknowledged << pending.left(end).toLongLong();
                ++seen;
            }
        }
        poster.kill();
        ASSERT_TRUE(poster.waitForFinished(60000));
        EXPECT_EQ(poster.exitStatus(), QProcess::CrashExit);
        // Acknowledgements that came with the last read are kept too.
        pending += poster.readAllStandardOutput();
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
            acknowledged << pending.left(end).toLongLong();
    }

    const QString path = diary.databasePath();
    EXPECT_EQ(scalar(path, "PRAGMA integrity_check"), QStringLiteral("ok"));
    for (const qint64 n : acknowledged)
        EXPECT_EQ(scalar(path, "SELECT count(*) FROM job WHERE job = ?", QStringLiteral("post %1").arg(n)),
                  QStringLiteral("1"))
            << n;
    EXPECT_GE(scalar(path, "SELECT count(*) FROM job").toInt(), acknowledged.size());
}
