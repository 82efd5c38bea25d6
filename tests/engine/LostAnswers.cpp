// A write whose answer never came back (the server went away after storing it) is tried again by the next post:
// the row it stored is found and written, never a second one, and an edit it stored is not taken for someone
// else's change.
#include "DiaryFile.h"
#include "databind/Field.h"
#include "databind/RecordSet.h"
#include "base/Error.h"
#include "engine/Backend.h"
#include "support/ErrorOf.h"
#include "support/QtPrinters.h"
#include "support/ServerDatabase.h"
#include "support/TcpProxy.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

// A backend that does what it is asked and then, for the writes it is told to, loses the answer: the row is
// stored, and the caller hears that the server went away.
class LosingBackend : public Backend
{
public:
    explicit LosingBackend(std::shared_ptr<Backend> stored) : m_stored(std::move(stored)) {}

    int answersToLose = 0;

    Dialect::Translation translate(const QString& text) const override { return m_stored->translate(text); }
    void select(const Dialect::Translation& translation, const QList<QVariant>& parameters, RowSink& sink) override
    {
        m_stored->select(translation, parameters, sink);
    }
    std::vector<qint64> selectKeys(const Dialect::Translation& translation, const QList<QVariant>& parameters) override
    {
        return m_stored->selectKeys(translation, parameters);
    }
    void selectRows(const Dialect::Translation& translation, std::span<const qint64> keys, RowSink& sink) override
    {
        m_stored->selectRows(translation, keys, sink);
    }
    std::vector<QVariant> updateRow(const RowWrite& write, qint64 rowIdentity, const std::map<int, QVariant>& values,
                                    const RowStates& expected) override
    {
        return lost(m_stored->updateRow(write, rowIdentity, values, expected));
    }
    std::pair<qint64, std::vector<QVariant>> insertRow(const RowWrite& write, const std::map<int, QVariant>& values,
                                                       const InsertTries& tries) override
    {
        return lost(m_stored->insertRow(write, values, tries));
    }
    void deleteRow(const RowWrite& write, qint64 rowIdentity, const RowStates& expected) override
    {
        m_stored->deleteRow(write, rowIdentity, expected);
        lost(0);
    }
    std::vector<std::vector<QVariant>> tableRows(const TableSchema& table) override
    {
        return m_stored->tableRows(table);
    }
    void appendTableRows(const TableSchema& table, const std::vector<std::vector<QVariant>>& rows) override
    {
        m_stored->appendTableRows(table, rows);
    }
    std::optional<QString> property(const QString& name) override { return m_stored->property(name); }
    std::optional<QString> storeProperty(const QString& name, const QString& value, PropertyWrite write) override
    {
        return m_stored->storeProperty(name, value, write);
    }
    QString databaseName() override { return m_stored->databaseName(); }
    std::vector<qint64> searchJobs(const SearchWords& words, int limit) override
    {
        return m_stored->searchJobs(words, limit);
    }
    void prepareSearch(const SearchProgress& progress) override { m_stored->prepareSearch(progress); }
    void writeBatch(const QByteArray& token, const std::function<void(Batch&)>& work) override
    {
        m_stored->writeBatch(token, work);
    }

private:
    template <class Answer> Answer lost(Answer answer)
    {
        if (answersToLose > 0) {
            --answersToLose;
            throw ServerUnreachable(QStringLiteral("server closed the connection unexpectedly"));
        }
        return answer;
    }

    std::shared_ptr<Backend> m_stored;
};

const QString rowNotLocated =
    QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read.");

class LostAnswers : public ::testing::TestWithParam<DiaryKind>
{
protected:
    void SetUp() override
    {
        backend = std::make_shared<LosingBackend>(DiaryBackend::open(diary.connectionString()));
        connection = std::make_unique<Connection>(backend, JobTable::schema());
        set = std::make_unique<RecordSet>(QStringLiteral("QJob"), *connection);
        set->setSql({QStringLiteral("select * from job order by id_job")});
        set->open();
    }

    void type(const char* field, const QString& value) { set->fieldByName(QLatin1String(field)).setValue(value); }
    // Every row's event and note, in the order of the key.
    QString rows() const
    {
        QStringList rows;
        const int count = diary.scalar("SELECT count(*) FROM job").toInt();
        for (int i = 0; i < count; ++i)
            rows << diary
                        .scalar("SELECT job || '/' || coalesce(other, '-') FROM job ORDER BY id_job LIMIT 1 OFFSET ?",
                                {i})
                        .toString();
        return rows.join(QStringLiteral(", "));
    }

    DiaryFile diary{GetParam()};
    std::shared_ptr<LosingBackend> backend;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<RecordSet> set;
};

// Only a server can lose an answer; a file's write is done or not.
class LostInsertAnswers : public LostAnswers
{
};

} // namespace

TEST_P(LostInsertAnswers, AnInsertTriedAgainLeavesOneRowWithTheLastTrysValues)
{
    const struct
    {
        const char* name;
        int answersLost;
        bool cancelled; // the user gives the record up and inserts another
        const char* rows;
    } cases[] = {
        {"one answer lost", 1, false, "новое/второй раз"},
        {"two answers lost", 2, false, "новое/второй раз"},
        {"given up and another inserted", 1, true, "новое/первый раз, новое/второй раз"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        diary.execute("DELETE FROM job");
        set->refresh();
        set->insert();
        type("job", QStringLiteral("новое"));
        type("other", QStringLiteral("первый раз"));
        backend->answersToLose = c.answersLost;
        EXPECT_THROW(set->post(), ServerUnreachable);
        if (c.cancelled) {
            set->cancel();
            set->insert();
            type("job", QStringLiteral("новое"));
        }
        type("other", QStringLiteral("второй раз"));
        while (backend->answersToLose > 0)
            EXPECT_THROW(set->post(), ServerUnreachable);
        set->post();
        EXPECT_EQ(rows(), QString::fromUtf8(c.rows));
        EXPECT_EQ(set->state(), RecordSet::State::Browse);
        EXPECT_EQ(set->fieldByName(QStringLiteral("other")).value(), QStringLiteral("второй раз"));
        EXPECT_EQ(set->fieldByName(QStringLiteral("id_job")).value(),
                  diary.scalar("SELECT max(id_job) FROM job").toLongLong());
    }
}

// An edit stored with its answer lost is no change of someone else's: the next post writes over it. A change made
// elsewhere after it still is.
TEST_P(LostAnswers, AnEditTriedAgainIsNotRefusedUnlessChangedElsewhereSince)
{
    diary.add({QStringLiteral("событие"), QStringLiteral("ежедневное"), {}, {}, false, {}});
    set->refresh();
    for (const bool changedElsewhere : {false, true}) {
        SCOPED_TRACE(changedElsewhere ? "changed elsewhere" : "not changed elsewhere");
        set->edit();
        type("other", QStringLiteral("первый раз"));
        backend->answersToLose = 1;
        EXPECT_THROW(set->post(), ServerUnreachable);
        EXPECT_EQ(rows(), QStringLiteral("событие/первый раз")) << "the lost try was stored";
        if (changedElsewhere)
            diary.execute("UPDATE job SET other = 'чужое'");
        type("other", QStringLiteral("второй раз"));
        if (changedElsewhere) {
            EXPECT_EQ(errorOf([&] { set->post(); }), rowNotLocated);
            EXPECT_EQ(rows(), QStringLiteral("событие/чужое"));
            set->cancel();
        } else {
            set->post();
            EXPECT_EQ(rows(), QStringLiteral("событие/второй раз"));
        }
    }
}

// A delete after an edit whose answer was lost finds the row as that edit left it.
TEST_P(LostAnswers, ADeleteAfterALostEditDeletesTheRow)
{
    diary.add({QStringLiteral("событие"), QStringLiteral("ежедневное"), {}, {}, false, {}});
    set->refresh();
    set->edit();
    type("other", QStringLiteral("заметка"));
    backend->answersToLose = 1;
    EXPECT_THROW(set->post(), ServerUnreachable);
    set->cancel();
    set->remove();
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM job"), QStringLiteral("0"));
}

// Over a real connection: the server stores the insert and its answer is lost on the way back.
TEST(LostAnswer, OfACommittedInsertTheNextPostLeavesOneRow)
{
    ServerDatabase server;
    DiaryBackend::create(server.connectionString());
    TcpProxy proxy(server.tcpPort());
    Connection connection(DiaryBackend::open(QStringLiteral("Provider=PostgreSQL;Data Source=") +
                                             proxy.connectionInfo(server.tcpConnectionInfo())),
                          JobTable::schema());
    RecordSet set(QStringLiteral("QJob"), connection);
    set.setSql({QStringLiteral("select * from job")});
    set.open();
    set.insert();
    set.fieldByName(QStringLiteral("job")).setValue(QStringLiteral("одно"));

    proxy.dropNextAnswer();
    EXPECT_THROW(set.post(), ServerUnreachable);
    EXPECT_EQ(set.state(), RecordSet::State::Insert);
    EXPECT_EQ(server.scalar("SELECT count(*) FROM job"), QStringLiteral("1")) << "the try was stored";

    set.fieldByName(QStringLiteral("other")).setValue(QStringLiteral("после"));
    set.post();
    EXPECT_EQ(server.scalar("SELECT count(*) FROM job"), QStringLiteral("1"));
    EXPECT_EQ(server.scalar("SELECT job || '/' || other FROM job"), QStringLiteral("одно/после"));
    EXPECT_EQ(set.fieldByName(QStringLiteral("id_job")).value(), server.scalar("SELECT id_job FROM job").toLongLong());
}

INSTANTIATE_TEST_SUITE_P(Diaries, LostAnswers, testing::Values(DiaryKind::File, DiaryKind::Server), diaryKindName);
INSTANTIATE_TEST_SUITE_P(Diaries, LostInsertAnswers, testing::Values(DiaryKind::Server), diaryKindName);
