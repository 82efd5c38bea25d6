// The search's own thread: answers, the index readied at length with its progress told, a failure told as text,
// and a stop in the middle of a build.
#include "diary/DiaryBackend.h"
#include "diary/EventSearch.h"
#include "support/ServerDatabase.h"
#include "support/TempDiary.h"

#include <QElapsedTimer>

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>

namespace {

// Events enough that readying the index is told of.
void addMany(const TempDiary& diary, int count)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(diary.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const QByteArray sql =
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                       "INSERT INTO job (job, other) SELECT 'событие ' || i, 'заметка' FROM n")
            .arg(count)
            .toUtf8();
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK);
}

struct Answer
{
    quint64 question = 0;
    QStringList jobs;
    QString error;
};

// The next answer, waited for.
Answer nextAnswer(QSignalSpy& found)
{
    if (found.isEmpty() && !found.wait(30000))
        return {0, {}, QStringLiteral("no answer")};
    const QList<QVariant> arguments = found.takeFirst();
    Answer answer;
    answer.question = arguments[0].toULongLong();
    for (const FoundEvent& event : arguments[1].value<std::vector<FoundEvent>>())
        answer.jobs << event.job + u'|' + event.period;
    answer.error = arguments[2].toString();
    return answer;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<FoundEvent>)

TEST(EventSearch, AnswersTheLastQuestionAfterReadyingTheIndexAndTellingHowFar)
{
    TempDiary diary;
    addMany(diary, 2 * EventSearch::noticeablePreparation);
    diary.addRow({{QStringLiteral("job"), QStringLiteral("Купить подарки")},
                  {QStringLiteral("period"), QStringLiteral("ежедневное")}});
    EventSearch search(diary.connectionString());
    QSignalSpy found(&search, &EventSearch::found);
    QSignalSpy preparing(&search, &EventSearch::preparing);

    search.find(SearchWords::of(QStringLiteral("событие 1 ")), 10);
    const quint64 last = search.find(SearchWords::of(QStringLiteral("подарок")), 10);
    Answer answer = nextAnswer(found);
    // The first question may have been taken before the second was asked.
    if (answer.question != last)
        answer = nextAnswer(found);
    EXPECT_EQ(answer.question, last);
    EXPECT_EQ(answer.jobs, QStringList{QStringLiteral("Купить подарки|ежедневное")});
    EXPECT_EQ(answer.error, QString());
    ASSERT_FALSE(preparing.isEmpty());
    int percent = -1;
    for (const QList<QVariant>& told : preparing) {
        EXPECT_GT(told[1].toInt(), percent);
        percent = told[1].toInt();
    }
    EXPECT_EQ(percent, 100);

    preparing.clear();
    search.find(SearchWords::of(QStringLiteral("событие 10000 ")), 10);
    EXPECT_EQ(nextAnswer(found).jobs, QStringList{QStringLiteral("событие 10000|")});
    EXPECT_TRUE(preparing.isEmpty()) << "an index in step is not readied again";
}

TEST(EventSearch, AFailureIsToldAndTheNextQuestionTriesAgain)
{
    TempDiary diary;
    diary.addRow({{QStringLiteral("job"), QStringLiteral("Купить подарки")}});
    EventSearch search(diary.connectionString());
    QSignalSpy found(&search, &EventSearch::found);
    const QString path = diary.databasePath();
    ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".away")));

    search.find(SearchWords::of(QStringLiteral("подарки")), 10);
    const Answer failed = nextAnswer(found);
    EXPECT_EQ(failed.jobs, QStringList());
    EXPECT_TRUE(failed.error.contains(path)) << failed.error.toStdString();

    ASSERT_TRUE(QFile::rename(path + QStringLiteral(".away"), path));
    search.find(SearchWords::of(QStringLiteral("подарки")), 10);
    const Answer answered = nextAnswer(found);
    EXPECT_EQ(answered.jobs, QStringList{QStringLiteral("Купить подарки|")});
    EXPECT_EQ(answered.error, QString());
}

// Closing the program in the middle of a long build stops it after its step; the next search takes it up.
TEST(EventSearch, StoppedInTheMiddleOfABuildItIsTakenUpByTheNext)
{
    TempDiary diary;
    addMany(diary, 4 * EventSearch::noticeablePreparation);
    {
        EventSearch search(diary.connectionString());
        QSignalSpy preparing(&search, &EventSearch::preparing);
        search.find(SearchWords::of(QStringLiteral("событие 19999 ")), 10);
        ASSERT_TRUE(preparing.wait(30000));
    }
    EventSearch search(diary.connectionString());
    QSignalSpy found(&search, &EventSearch::found);
    search.find(SearchWords::of(QStringLiteral("событие 19999 ")), 10);
    EXPECT_EQ(nextAnswer(found).jobs, QStringList{QStringLiteral("событие 19999|")});
}

// A search waiting on a server that stopped answering is ended when the program closes, not at the server's limit.
TEST(EventSearch, AWaitOnAServerThatDoesNotAnswerEndsAtExit)
{
    ServerDatabase server;
    DiaryBackend::create(server.connectionString());
    server.execute("insert into job (job) values ('Купить подарки')");
    auto search = std::make_unique<EventSearch>(server.connectionString());
    QSignalSpy found(search.get(), &EventSearch::found);
    search->find(SearchWords::of(QStringLiteral("подарки")), 10);
    ASSERT_EQ(nextAnswer(found).jobs, QStringList{QStringLiteral("Купить подарки|")});
    const int process = server.newestProgramProcess();
    ASSERT_GT(process, 0);
    ASSERT_EQ(kill(process, SIGSTOP), 0);
    search->find(SearchWords::of(QStringLiteral("подарок")), 10);
    // Given the time to send its question and wait for the answer.
    QTest::qWait(200);
    QElapsedTimer closing;
    closing.start();
    search.reset();
    const qint64 elapsed = closing.elapsed();
    kill(process, SIGCONT);
    EXPECT_LT(elapsed, 5000);
}
