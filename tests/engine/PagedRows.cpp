// A select of the table's own columns is read keys first and its rows in pages, dropped when others are read: a big
// set walked every way reads each row's own cells, a row another program changed or deleted between two pages is
// read as it is and never overwritten blindly, and an edit pending while its page is dropped posts against what the
// user saw.
#include "DiaryFile.h"
#include "databind/RecordSet.h"
#include "engine/Snapshot.h"
#include "support/ErrorOf.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

const QString rowNotLocated =
    QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read.");
const QString allRows = QStringLiteral("select * from job order by id_job");
// More rows than a set keeps in its pages, so that a walk over them drops the pages read first.
constexpr int manyRows = 20000;

QString eventOf(qint64 id)
{
    return QStringLiteral("событие %1").arg(id);
}

class PagedRows : public ::testing::TestWithParam<DiaryKind>
{
protected:
    void SetUp() override
    {
        diary.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                      "INSERT INTO job (job, period) SELECT 'событие ' || i, 'ежедневное' FROM n");
        connection = diary.connect();
    }

    // Reads every row as a walk does, checking that each holds its own event.
    static void walk(Snapshot& rows, int job, const std::map<qint64, QString>& changed = {})
    {
        for (int row = 0; row < rows.rowCount(); ++row) {
            const qint64 id = rows.rowId(row);
            const auto found = changed.find(id);
            ASSERT_EQ(rows.value(row, job), QVariant(found == changed.end() ? eventOf(id) : found->second)) << row;
        }
    }

    DiaryFile diary{GetParam()};
    std::unique_ptr<Connection> connection;
};

class FilePagedRows : public PagedRows
{
};

} // namespace

TEST_P(PagedRows, EveryRowReadsItsOwnCellsWalkedAndJumpedTo)
{
    const auto rows = connection->select(allRows, {});
    ASSERT_EQ(rows->rowCount(), manyRows);
    const int job = rows->columnIndex(QStringLiteral("job"));
    const int key = rows->columnIndex(QStringLiteral("id_job"));
    walk(*rows, job);
    // A screen read ahead from any row, then the rows about it, whose pages meet it.
    ASSERT_TRUE(rows->readAhead(10001, 40));
    for (int row = 9990; row < 10060; ++row)
        ASSERT_EQ(rows->value(row, job), QVariant(eventOf(rows->rowId(row)))) << row;
    // Backwards and in jumps, across the pages' edges and back to pages long dropped.
    for (const int row : {manyRows - 1, 0, 10000, 64, 63, 8191, 8192, 12345, 1, manyRows - 2, 0}) {
        EXPECT_EQ(rows->value(row, key), QVariant(rows->rowId(row))) << row;
        EXPECT_EQ(rows->value(row, job), QVariant(eventOf(rows->rowId(row)))) << row;
    }
    for (int row = manyRows - 1; row >= 0; row -= 7)
        ASSERT_EQ(rows->value(row, job), QVariant(eventOf(rows->rowId(row)))) << row;
    // A grid paints only what it read ahead: a row far from the walk's last pages reads empty then, and is read after.
    rows->setHeldRowsOnly(true);
    EXPECT_EQ(rows->value(3, job), QVariant(eventOf(rows->rowId(3))));
    EXPECT_TRUE(rows->value(15000, job).isNull());
    rows->setHeldRowsOnly(false);
    EXPECT_EQ(rows->value(15000, job), QVariant(eventOf(rows->rowId(15000))));
}

TEST_P(PagedRows, ARowChangedOrDeletedElsewhereBetweenPagesIsReadAsItIsAndNeverOverwrittenBlindly)
{
    const auto rows = connection->select(allRows, {});
    const int job = rows->columnIndex(QStringLiteral("job"));
    const qint64 first = rows->rowId(0), changed = rows->rowId(15000), deleted = rows->rowId(15001);
    EXPECT_EQ(rows->value(0, job), QVariant(eventOf(first)));
    for (const qint64 id : {first, changed})
        diary.execute("UPDATE job SET job = 'чужое' WHERE id_job = ?", {id});
    diary.execute("DELETE FROM job WHERE id_job = ?", {deleted});

    // A row read before the change keeps what was read, and a write of it is refused.
    EXPECT_EQ(rows->value(0, job), QVariant(eventOf(first)));
    EXPECT_EQ(errorOf([&] { rows->updateRow(0, {{job, QStringLiteral("моё")}}); }), rowNotLocated);
    // A row whose page is read after the change shows it; a write of it then expects what it shows.
    EXPECT_EQ(rows->value(15000, job), QVariant(QStringLiteral("чужое")));
    rows->updateRow(15000, {{job, QStringLiteral("моё")}});
    EXPECT_EQ(diary.scalar("SELECT job FROM job WHERE id_job = ?", {changed}), QVariant(QStringLiteral("моё")));
    // A row gone reads empty and can be neither written nor deleted; it keeps its place until the set is read again.
    for (int c = 0; c < rows->columnCount(); ++c)
        EXPECT_TRUE(rows->value(15001, c).isNull()) << c;
    EXPECT_EQ(errorOf([&] { rows->updateRow(15001, {{job, QStringLiteral("моё")}}); }), rowNotLocated);
    EXPECT_EQ(errorOf([&] { rows->deleteRow(15001); }), rowNotLocated);
    EXPECT_EQ(rows->rowCount(), manyRows);
    EXPECT_EQ(rows->rowId(15001), deleted);
    rows->reread();
    EXPECT_EQ(rows->rowCount(), manyRows - 1);
    EXPECT_EQ(rows->findRow(deleted), -1);
}

// The file's "*" is read anew at every page; the server's select names the columns the program knows.
TEST_P(FilePagedRows, AColumnAddedElsewhereStopsTheReadOfLaterPagesWithAClearError)
{
    const auto rows = connection->select(allRows, {});
    const int job = rows->columnIndex(QStringLiteral("job"));
    diary.execute("ALTER TABLE job ADD COLUMN extra TEXT");
    EXPECT_EQ(rows->value(1, job), QVariant(eventOf(rows->rowId(1))));
    EXPECT_EQ(errorOf([&] { rows->value(15000, job); }),
              QStringLiteral("The columns of the table have changed since the rows were read. Read them again."));
    rows->reread();
    EXPECT_EQ(rows->value(15000, job), QVariant(eventOf(rows->rowId(15000))));
}

TEST_P(PagedRows, AnEditPendingWhileItsPageIsDroppedPostsAgainstWhatTheUserSaw)
{
    RecordSet set(QStringLiteral("QJob"), *connection);
    set.setSql({allRows});
    set.open();
    Field& job = set.fieldByName(QStringLiteral("job"));
    for (const bool changedElsewhere : {true, false}) {
        SCOPED_TRACE(changedElsewhere);
        set.moveBy(changedElsewhere ? 3000 : 3000 + 1);
        const qint64 id = set.fieldByName(QStringLiteral("id_job")).value().toLongLong();
        EXPECT_EQ(job.value(), QVariant(eventOf(id))); // what the user sees
        if (changedElsewhere)
            diary.execute("UPDATE job SET job = 'чужое' WHERE id_job = ?", {id});
        set.edit();
        job.setValue(QStringLiteral("моё"));
        // The grid paints every row meanwhile: the record's own page is dropped and read again.
        for (int row = 0; row < manyRows; row += 3) {
            set.setActiveRow(row);
            ASSERT_FALSE(job.value().isNull()) << row;
        }
        set.setActiveRow(-1);
        if (changedElsewhere) {
            EXPECT_EQ(errorOf([&] { set.post(); }), rowNotLocated);
            EXPECT_EQ(diary.scalar("SELECT job FROM job WHERE id_job = ?", {id}), QVariant(QStringLiteral("чужое")));
            set.cancel();
        } else {
            set.post();
            EXPECT_EQ(diary.scalar("SELECT job FROM job WHERE id_job = ?", {id}), QVariant(QStringLiteral("моё")));
            EXPECT_EQ(job.value(), QVariant(QStringLiteral("моё")));
        }
        set.first();
    }
}

TEST_P(PagedRows, AnInsertAndADeleteInTheMiddleOfAHugeSetKeepEveryOtherRowInItsPlace)
{
    RecordSet set(QStringLiteral("QJob"), *connection);
    set.setSql({allRows});
    set.open();
    set.moveBy(10000);
    const qint64 before = set.fieldByName(QStringLiteral("id_job")).value().toLongLong();
    set.insert();
    set.fieldByName(QStringLiteral("job")).setValue(QStringLiteral("новое"));
    set.post();
    ASSERT_EQ(set.recordCount(), manyRows + 1);
    EXPECT_EQ(set.recNo(), 10000);
    const qint64 inserted = set.fieldByName(QStringLiteral("id_job")).value().toLongLong();
    set.moveBy(1);
    EXPECT_EQ(set.fieldByName(QStringLiteral("id_job")).value(), QVariant(before));

    set.first();
    set.moveBy(5000);
    const qint64 removed = set.fieldByName(QStringLiteral("id_job")).value().toLongLong();
    set.remove();
    EXPECT_EQ(set.recordCount(), manyRows);
    EXPECT_NE(set.fieldByName(QStringLiteral("id_job")).value(), QVariant(removed));

    const auto stored = connection->select(allRows, {});
    EXPECT_EQ(stored->rowCount(), manyRows);
    EXPECT_EQ(stored->findRow(removed), -1);
    EXPECT_NE(stored->findRow(inserted), -1);
    // The set itself reads every row in its new place.
    Field& job = set.fieldByName(QStringLiteral("job"));
    Field& key = set.fieldByName(QStringLiteral("id_job"));
    for (int row = 0; row < set.recordCount(); ++row) {
        set.setActiveRow(row);
        const qint64 id = key.value().toLongLong();
        ASSERT_EQ(job.value(), QVariant(id == inserted ? QStringLiteral("новое") : eventOf(id))) << row;
        ASSERT_NE(id, removed) << row;
    }
    set.setActiveRow(-1);
}

TEST_P(PagedRows, ANullParameterThatTheConditionComparesGivesNoRowsWithEveryColumn)
{
    const QString ofPeriod = QStringLiteral("select * from job where period = ? order by date_isp");
    const auto none = connection->select(ofPeriod, {QVariant()});
    EXPECT_EQ(none->rowCount(), 0);
    EXPECT_GE(none->columnIndex(QStringLiteral("job")), 0);
    EXPECT_EQ(connection->select(ofPeriod, {QStringLiteral("ежедневное")})->rowCount(), manyRows);
}

// In the file a list in the order of its key is read in steps: a screen's rows at once, more as they are reached.
// Rows another program adds or deletes meanwhile are listed as the database has them when their step is read; a row
// the set inserts itself is listed once.
TEST_P(FilePagedRows, AListInTheOrderOfItsKeyIsReadInStepsAsFarAsItIsReached)
{
    const auto rows = connection->select(allRows, {});
    EXPECT_TRUE(rows->isListing());
    EXPECT_LT(rows->listedRows(), 1000);
    const int job = rows->columnIndex(QStringLiteral("job"));
    const qint64 gone = rows->rowId(0) + 15000;
    diary.execute("DELETE FROM job WHERE id_job = ?", {gone});
    diary.execute("INSERT INTO job (job, period) VALUES ('чужое', 'ежедневное')");

    // A find goes no further than the key it looks for.
    EXPECT_EQ(rows->findRow(rows->rowId(0) + 3000), 3000);
    EXPECT_LT(rows->listedRows(), manyRows - 1000);
    EXPECT_EQ(rows->value(5000, job), QVariant(eventOf(rows->rowId(5000))));
    EXPECT_TRUE(rows->hasRow(5000));
    EXPECT_LT(rows->listedRows(), manyRows - 1000);
    rows->insertRow(100, {{job, QStringLiteral("моё")}});
    const qint64 mine = rows->rowId(100);
    std::vector<std::pair<int, int>> steps;
    rows->setListed([&steps](int first, int count) { steps.emplace_back(first, count); });
    const int listed = rows->listedRows();
    while (rows->listMore()) {
    }
    EXPECT_FALSE(rows->isListing());
    EXPECT_FALSE(rows->listMore());
    EXPECT_EQ(rows->rowCount(), manyRows + 1);
    // Each step is told once, each starting where the one before ended.
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front().first, listed);
    for (size_t i = 1; i < steps.size(); ++i)
        EXPECT_EQ(steps[i].first, steps[i - 1].first + steps[i - 1].second) << i;
    EXPECT_EQ(steps.back().first + steps.back().second, rows->rowCount());
    EXPECT_EQ(rows->findRow(gone), -1);
    EXPECT_EQ(rows->value(rows->rowCount() - 1, job), QVariant(QStringLiteral("чужое")));
    int seen = 0;
    for (int row = 0; row < rows->rowCount(); ++row)
        seen += rows->rowId(row) == mine ? 1 : 0;
    EXPECT_EQ(seen, 1);
    EXPECT_FALSE(rows->hasRow(rows->rowCount()));
}

INSTANTIATE_TEST_SUITE_P(Diaries, PagedRows, bothDiaryKinds(), diaryKindName);
INSTANTIATE_TEST_SUITE_P(Diaries, FilePagedRows, testing::Values(DiaryKind::File), diaryKindName);
