// Several writes in one transaction, alike in the diary file and on the server: stored whole or not at all, events
// stamped and found by the search, and on the server a try whose token was stored not run again.
#include "DiaryFile.h"
#include "engine/Backend.h"
#include "engine/SearchWords.h"
#include "support/ErrorOf.h"
#include "support/FixedClock.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class WriteBatch : public testing::TestWithParam<DiaryKind>
{
protected:
    std::vector<qint64> found(const char* typed)
    {
        return connection->backend().searchJobs(SearchWords::of(QString::fromUtf8(typed)), 100);
    }
    QVariant scalar(const char* sql, const QList<QVariant>& values = {}) { return diary.scalar(sql, values); }

    const QDateTime moment{QDate(2026, 12, 8), QTime(9, 30)};
    FixedClock clock{moment};
    DiaryFile diary{GetParam()};
    std::unique_ptr<Connection> connection = diary.connect();
};

} // namespace

TEST_P(WriteBatch, StoresEveryWriteStampsEventsAndKeepsTheSearchInStep)
{
    const qint64 kept = diary.add({QStringLiteral("Полить цветы"), 2, {}, {}, false, {}});
    const qint64 gone = diary.add({QStringLiteral("Старая запись"), 2, {}, {}, false, {}});
    // The index is built before the batch, so only what the batch records brings it up to date.
    EXPECT_EQ(found("цветы"), std::vector<qint64>{kept});

    qint64 added = 0;
    connection->writeBatch("9b1c4d5e-0000-4000-8000-000000000001", [&](Backend::Batch& batch) {
        added = batch.insert("INSERT INTO job (job, period, date_isp, vip) VALUES (?, ?, ?, ?)",
                             {QStringLiteral("Купить подарки"), 4, QDate(2026, 12, 31), true});
        batch.run("UPDATE job SET job = ? WHERE id_job = ?", {QStringLiteral("Полить кактусы"), kept});
        batch.run("DELETE FROM job WHERE id_job = ?", {gone});
        const auto rows = batch.rows("SELECT job, date_isp, vip FROM job WHERE id_job = ?", {added});
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0], QVariant(QStringLiteral("Купить подарки")));
        EXPECT_EQ(rows[0][1].toDouble(), DateSerial::fromDate(QDate(2026, 12, 31)));
        EXPECT_EQ(rows[0][2].toBool(), true);
    });

    EXPECT_EQ(scalar("SELECT job FROM job WHERE id_job = ?", {added}), QVariant(QStringLiteral("Купить подарки")));
    EXPECT_EQ(scalar("SELECT count(*) FROM job").toInt(), 2);
    const char* stamped = GetParam() == DiaryKind::File
                              ? "SELECT count(*) FROM job WHERE date_zap = ?"
                              : "SELECT count(*) FROM job WHERE date_zap = CAST(? AS timestamp)";
    const QVariant stamp = GetParam() == DiaryKind::File ? QVariant(DateSerial::fromDateTime(moment))
                                                         : QVariant(moment.toString(Qt::ISODate));
    EXPECT_EQ(scalar(stamped, {stamp}).toInt(), 2);
    EXPECT_EQ(found("подарок"), std::vector<qint64>{added});
    EXPECT_EQ(found("кактусы"), std::vector<qint64>{kept});
    EXPECT_TRUE(found("цветы").empty());
    EXPECT_TRUE(found("старая").empty());
}

TEST_P(WriteBatch, AFailureInsideTheWorkLeavesNothing)
{
    const qint64 kept = diary.add({QStringLiteral("Полить цветы"), 2, {}, {}, false, {}});
    const struct
    {
        const char* name;
        std::function<void(Backend::Batch&)> fail;
    } cases[] = {
        {"the work throws", [](Backend::Batch&) { throw std::runtime_error("stop"); }},
        {"a statement is refused", [](Backend::Batch& batch) { batch.run("INSERT INTO no_such_table VALUES (1)"); }},
        {"a parameter is missing", [](Backend::Batch& batch) { batch.run("DELETE FROM job WHERE id_job = ?"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_ANY_THROW(connection->writeBatch({}, [&](Backend::Batch& batch) {
            batch.insert("INSERT INTO job (job, period) VALUES (?, ?)", {QStringLiteral("Лишнее"), 2});
            batch.run("UPDATE job SET job = ? WHERE id_job = ?", {QStringLiteral("Изменено"), kept});
            c.fail(batch);
        }));
        EXPECT_EQ(scalar("SELECT count(*) FROM job").toInt(), 1);
        EXPECT_EQ(scalar("SELECT job FROM job").toString(), QStringLiteral("Полить цветы"));
    }
    // The connection writes on as before.
    connection->writeBatch({}, [&](Backend::Batch& batch) { batch.run("DELETE FROM job WHERE id_job = ?", {kept}); });
    EXPECT_EQ(scalar("SELECT count(*) FROM job").toInt(), 0);
}

// A file's transaction is never in doubt; a server's that was stored under a token is not run again.
TEST_P(WriteBatch, OnTheServerATokenAlreadyStoredRunsNothing)
{
    const QByteArray token = "9b1c4d5e-0000-4000-8000-000000000002";
    int runs = 0;
    const auto add = [&](Backend::Batch& batch) {
        ++runs;
        batch.insert("INSERT INTO job (job, period) VALUES (?, ?)", {QStringLiteral("Один раз"), 2});
    };
    connection->writeBatch(token, add);
    diary.connect()->writeBatch(token, add);
    const int expected = GetParam() == DiaryKind::Server ? 1 : 2;
    EXPECT_EQ(runs, expected);
    EXPECT_EQ(scalar("SELECT count(*) FROM job").toInt(), expected);
}

INSTANTIATE_TEST_SUITE_P(Diaries, WriteBatch, bothDiaryKinds(), diaryKindName);
