#include "DiaryTest.h"
#include "FakeControl.h"
#include "databind/ActiveRowScope.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "support/QtPrinters.h"

#include <QString>

#include <functional>
#include <map>

namespace {

using State = RecordSet::State;

// Runs a blank-separated list of operations on the set.
void run(RecordSet& set, const QString& operations)
{
    static const std::map<QString, std::function<void(RecordSet&)>> byName = {
        {"first", [](RecordSet& s) { s.first(); }},
        {"prior", [](RecordSet& s) { s.prior(); }},
        {"next", [](RecordSet& s) { s.next(); }},
        {"last", [](RecordSet& s) { s.last(); }},
        {"edit", [](RecordSet& s) { s.edit(); }},
        {"insert", [](RecordSet& s) { s.insert(); }},
        {"post", [](RecordSet& s) { s.post(); }},
        {"cancel", [](RecordSet& s) { s.cancel(); }},
        {"delete", [](RecordSet& s) { s.remove(); }},
        {"refresh", [](RecordSet& s) { s.refresh(); }},
        {"+5", [](RecordSet& s) { s.moveBy(5); }},
        {"+2", [](RecordSet& s) { s.moveBy(2); }},
        {"-5", [](RecordSet& s) { s.moveBy(-5); }},
        {"write", [](RecordSet& s) { s.fieldByName(QStringLiteral("other")).setText(QStringLiteral("x")); }},
    };
    for (const QString& name : operations.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        byName.at(name)(set);
}

struct FlagCase
{
    int rows;
    QString operations;
    State state;
    int recNo;
    bool atStart;
    bool atEnd;
    int count;
};

void PrintTo(const FlagCase& c, std::ostream* out)
{
    *out << c.rows << " rows: " << c.operations.toStdString();
}

class RecordSetFlags : public DiaryTest, public ::testing::WithParamInterface<FlagCase>
{
};

TEST_P(RecordSetFlags, StateCurrentRecordAndFlags)
{
    const FlagCase& c = GetParam();
    RecordSet& q = openSet(c.rows);
    run(q, c.operations);
    EXPECT_EQ(q.state(), c.state);
    EXPECT_EQ(q.recNo(), c.recNo);
    EXPECT_EQ(q.atStart(), c.atStart);
    EXPECT_EQ(q.atEnd(), c.atEnd);
    EXPECT_EQ(q.recordCount(), c.count);
}

const FlagCase flagCases[] = {
    {3, "", State::Browse, 0, true, false, 3},
    {3, "next", State::Browse, 1, false, false, 3},
    {3, "next next next", State::Browse, 2, false, true, 3},
    {3, "last", State::Browse, 2, false, true, 3},
    {3, "last prior", State::Browse, 1, false, false, 3},
    {3, "last first", State::Browse, 0, true, false, 3},
    {3, "prior", State::Browse, 0, true, false, 3},
    {3, "next prior", State::Browse, 0, false, false, 3},
    {3, "next prior prior", State::Browse, 0, true, false, 3},
    {3, "+5", State::Browse, 2, false, true, 3},
    {3, "+2", State::Browse, 2, false, false, 3},
    {3, "last -5", State::Browse, 0, true, false, 3},
    {3, "edit", State::Edit, 0, true, false, 3},
    {3, "edit post", State::Browse, 0, false, false, 3},
    {3, "edit write post", State::Browse, 0, false, false, 3},
    {3, "edit cancel", State::Browse, 0, false, false, 3},
    {3, "cancel", State::Browse, 0, true, false, 3},
    {3, "last edit", State::Edit, 2, false, true, 3},
    {3, "next insert", State::Insert, 1, false, false, 4},
    {3, "insert", State::Insert, 0, true, false, 4},
    {3, "insert cancel", State::Browse, 0, false, false, 3},
    {3, "next insert cancel", State::Browse, 1, false, false, 3},
    {3, "next insert write post", State::Browse, 1, false, false, 4},
    {3, "insert edit", State::Insert, 0, true, false, 4},
    {3, "insert delete", State::Browse, 0, false, false, 3},
    {3, "refresh", State::Browse, 0, false, false, 3},
    {3, "delete", State::Browse, 0, false, false, 2},
    {3, "last delete", State::Browse, 1, false, false, 2},
    {3, "next edit delete", State::Browse, 1, false, false, 2},
    {1, "delete", State::Browse, -1, true, true, 0},
    {3, "edit write next", State::Browse, 1, false, false, 3},
    {3, "edit prior", State::Browse, 0, true, false, 3},
    {3, "edit write prior", State::Browse, 0, true, false, 3},
    {3, "insert next", State::Browse, 1, false, false, 3},
    {0, "", State::Browse, -1, true, true, 0},
    {0, "first last next prior", State::Browse, -1, true, true, 0},
    {0, "edit", State::Insert, 0, true, true, 1},
    {0, "insert cancel", State::Browse, -1, true, true, 0},
    {0, "insert write post", State::Browse, 0, false, false, 1},
    {0, "refresh", State::Browse, -1, true, true, 0},
};
INSTANTIATE_TEST_SUITE_P(Table, RecordSetFlags, ::testing::ValuesIn(flagCases), [](const auto& info) {
    QString name = QStringLiteral("rows%1_%2").arg(info.param.rows).arg(info.param.operations);
    name.replace(QLatin1Char('+'), QStringLiteral("plus")).replace(QLatin1Char('-'), QStringLiteral("minus"));
    return name.replace(QLatin1Char(' '), QLatin1Char('_')).toStdString();
});

TEST_F(DiaryTest, BrowseCheckPostsAChangedRecordAndDropsAnUnchangedOne)
{
    RecordSet& q = openSet(3);
    FakeControl control(*source, QStringLiteral("job"));
    int posts = 0;
    q.setBeforePost([&](RecordSet&) { ++posts; });

    // An edit nothing changed is dropped silently.
    q.edit();
    q.next();
    EXPECT_EQ(posts, 0);
    EXPECT_EQ(q.state(), State::Browse);

    // Typing still held by the control is written back, then posted.
    ASSERT_TRUE(control.type(QStringLiteral("changed")));
    EXPECT_EQ(q.state(), State::Edit);
    EXPECT_FALSE(q.isModified());
    q.next();
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(diary.value(ids[1], QStringLiteral("job")), QVariant(QStringLiteral("changed")));
    EXPECT_EQ(q.recNo(), 2);

    // An insert nothing changed vanishes; one with typing is saved.
    q.insert();
    q.first();
    EXPECT_EQ(q.recordCount(), 3);
    EXPECT_EQ(diary.rowCount(), 3);
    q.insert();
    control.type(QStringLiteral("new"));
    q.refresh();
    EXPECT_EQ(diary.rowCount(), 4);
    EXPECT_EQ(posts, 2);
    EXPECT_EQ(job(), QStringLiteral("new"));
}

TEST_F(DiaryTest, PostWritesOneRowKeepsItsPlaceAndHoldsWhatWasStored)
{
    RecordSet& q = openSet(3);
    q.next();
    q.insert();
    q.fieldByName(QStringLiteral("job")).setText(QStringLiteral("inserted"));
    EXPECT_TRUE(q.fieldByName(QStringLiteral("vip")).isNull());
    q.post();
    EXPECT_EQ(q.recNo(), 1);
    EXPECT_EQ(job(), QStringLiteral("inserted"));
    const qint64 id = q.fieldByName(QStringLiteral("id_job")).value().toLongLong();
    EXPECT_GT(id, ids.back());
    EXPECT_FALSE(q.fieldByName(QStringLiteral("vip")).isNull()); // stored as false
    EXPECT_EQ(diary.value(id, QStringLiteral("job")), QVariant(QStringLiteral("inserted")));

    // Not re-sorted: the row stays where it was though its key would place it last.
    q.next();
    EXPECT_EQ(job(), QStringLiteral("job 1"));
}

TEST_F(DiaryTest, CancelDropsChangesAndAnInsertedRecord)
{
    RecordSet& q = openSet(2);
    q.next();
    q.edit();
    q.fieldByName(QStringLiteral("job")).setText(QStringLiteral("dropped"));
    q.cancel();
    EXPECT_EQ(job(), QStringLiteral("job 1"));
    q.insert();
    EXPECT_EQ(job(), QString());
    q.cancel();
    EXPECT_EQ(job(), QStringLiteral("job 1"));
    EXPECT_EQ(q.recNo(), 1);
}

TEST_F(DiaryTest, RefreshKeepsTheCurrentRecordAndRereadsValues)
{
    RecordSet& q = openSet(3);
    q.last();
    // Another connection changes the table: a row before ours goes, ours changes.
    {
        Connection other(DiaryBackend::open(diary.connectionString()), JobTable::schema());
        auto rows = other.select(QStringLiteral("select * from job order by id_job"), {});
        rows->updateRow(2, {{rows->columnIndex(QStringLiteral("job")), QStringLiteral("renamed")}});
        rows->deleteRow(0);
    }
    q.refresh();
    EXPECT_EQ(q.recNo(), 1);
    EXPECT_EQ(job(), QStringLiteral("renamed"));
    EXPECT_EQ(q.recordCount(), 2);
}

TEST_F(DiaryTest, NotificationsReachEveryLinkInsideTheOperation)
{
    RecordSet& q = openSet(2);
    FakeControl control(*source, QStringLiteral("job"));
    EXPECT_EQ(control.shown, QStringLiteral("job 0"));
    q.next();
    EXPECT_EQ(control.shown, QStringLiteral("job 1"));
    q.edit();
    q.fieldByName(QStringLiteral("job")).setText(QStringLiteral("typed"));
    EXPECT_EQ(control.shown, QStringLiteral("typed"));
    q.post();
    q.close();
    EXPECT_EQ(control.shown, QString());
    EXPECT_EQ(control.events, QStringList({"moved 1", "state", "changed job", "update", "state", "dataset", "active"}));
}

TEST_F(DiaryTest, ALinkMayDetachWhileBeingNotified)
{
    RecordSet& q = openSet(3);
    // The link notified before the detaching one goes away; the one after must still hear of the move.
    auto leaving = std::make_unique<FakeControl>(*source);
    struct Detacher : FakeControl
    {
        using FakeControl::FakeControl;
        std::unique_ptr<FakeControl>* victim = nullptr;
        void recordMoved(int) override { victim->reset(); }
    } detacher(*source);
    detacher.victim = &leaving;
    FakeControl staying(*source);
    q.next();
    EXPECT_EQ(leaving, nullptr);
    EXPECT_EQ(staying.events, QStringList({"moved 1"}));
    q.next();
    EXPECT_EQ(staying.events, QStringList({"moved 1", "moved 1"}));
}

TEST_F(DiaryTest, AFailedWriteBackAbandonsThePostAndKeepsTheEdit)
{
    RecordSet& q = openSet(2);
    FakeControl control(*source, QStringLiteral("job"));
    control.type(QStringLiteral("kept"));
    control.failWriteBack = true;
    EXPECT_THROW(q.next(), DatabaseError);
    EXPECT_EQ(q.state(), State::Edit);
    EXPECT_EQ(q.recNo(), 0);
    EXPECT_EQ(control.pending, std::optional<QString>(QStringLiteral("kept")));
}

TEST_F(DiaryTest, GridReadsAnyRowWithoutNotificationsAndTheEditBufferOnTheCurrentOne)
{
    RecordSet& q = openSet(3);
    FakeControl control(*source);
    q.next();
    q.insert();
    q.fieldByName(QStringLiteral("job")).setText(QStringLiteral("blank"));
    control.events.clear();
    QStringList painted;
    for (int row = 0; row < q.recordCount(); ++row) {
        ActiveRowScope scope(q, row);
        painted << job();
    }
    EXPECT_EQ(painted, QStringList({"job 0", "blank", "job 1", "job 2"}));
    EXPECT_TRUE(control.events.isEmpty());
    EXPECT_EQ(job(), QStringLiteral("blank"));
}

TEST_F(DiaryTest, DataSourceEditStartsAnInsertOnAnEmptySetAndRefusesAReadOnlyOne)
{
    RecordSet& q = openSet(0);
    EXPECT_TRUE(source->edit());
    EXPECT_EQ(q.state(), State::Insert);
    q.cancel();
    q.setReadOnly(true);
    EXPECT_FALSE(source->edit());
    EXPECT_EQ(q.state(), State::Browse);
    q.close();
    EXPECT_FALSE(source->edit());
}

} // namespace
