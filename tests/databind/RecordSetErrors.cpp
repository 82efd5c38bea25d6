#include "DiaryTest.h"
#include "databind/DatabaseError.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "support/QtPrinters.h"

#include <QRegularExpression>

#include <functional>

namespace {

using State = RecordSet::State;

struct ErrorCase
{
    const char* situation;
    int rows;                              // -1: the set closed
    std::function<void(RecordSet&)> setUp; // puts the set into the state the failure starts from
    std::function<void(RecordSet&)> action;
    QString text;
};

QString closed = QStringLiteral("Q: Cannot perform this operation on a closed dataset");
QString notEditing = QStringLiteral("Q: Dataset not in edit or insert mode");
QString readOnly = QStringLiteral("Q: Cannot modify a read-only dataset");

Field& jobField(RecordSet& q)
{
    return q.fieldByName(QStringLiteral("job"));
}

const ErrorCase errorCases[] = {
    {"edit closed", -1, {}, [](RecordSet& q) { q.edit(); }, closed},
    {"insert closed", -1, {}, [](RecordSet& q) { q.insert(); }, closed},
    {"delete closed", -1, {}, [](RecordSet& q) { q.remove(); }, closed},
    {"next closed", -1, {}, [](RecordSet& q) { q.next(); }, closed},
    {"refresh closed", -1, {}, [](RecordSet& q) { q.refresh(); }, closed},
    {"browse check closed", -1, {}, [](RecordSet& q) { q.checkBrowseMode(); }, closed},
    {"post closed", -1, {}, [](RecordSet& q) { q.post(); }, notEditing},
    {"post in browse", 2, {}, [](RecordSet& q) { q.post(); }, notEditing},
    {"field write in browse", 2, {}, [](RecordSet& q) { jobField(q).setText(QStringLiteral("x")); }, notEditing},
    {"delete on empty",
     0,
     {},
     [](RecordSet& q) { q.remove(); },
     QStringLiteral("Q: Cannot perform this operation on an empty dataset")},
    {"edit read-only", 2, [](RecordSet& q) { q.setReadOnly(true); }, [](RecordSet& q) { q.edit(); }, readOnly},
    {"insert read-only", 2, [](RecordSet& q) { q.setReadOnly(true); }, [](RecordSet& q) { q.insert(); }, readOnly},
    {"delete read-only", 2, [](RecordSet& q) { q.setReadOnly(true); }, [](RecordSet& q) { q.remove(); }, readOnly},
    {"read-only field", 2, [](RecordSet& q) { q.edit(); },
     [](RecordSet& q) { q.fieldByName(QStringLiteral("id_job")).setValue(7); },
     QStringLiteral("Field 'id_job' cannot be modified")},
    {"impossible date", 2, [](RecordSet& q) { q.edit(); },
     [](RecordSet& q) { q.fieldByName(QStringLiteral("date_isp")).setText(QStringLiteral("31.02.2026")); },
     QStringLiteral("'31.02.2026' is not a valid date and time")},
    {"missing field",
     2,
     {},
     [](RecordSet& q) { q.fieldByName(QStringLiteral("nope")); },
     QStringLiteral("Q: Field 'nope' not found")},
    {"missing parameter",
     2,
     {},
     [](RecordSet& q) { q.setParameter(QStringLiteral("period"), 1); },
     QStringLiteral("Q: Parameter 'period' not found")},
    {"hook refuses", 2,
     [](RecordSet& q) {
         q.setBeforePost([](RecordSet&) { throw DatabaseError(QStringLiteral("refused")); });
         q.edit();
         jobField(q).setText(QStringLiteral("x"));
     },
     [](RecordSet& q) { q.next(); }, QStringLiteral("refused")},
};

void PrintTo(const ErrorCase& c, std::ostream* out)
{
    *out << c.situation;
}

class RecordSetErrors : public DiaryTest, public ::testing::WithParamInterface<ErrorCase>
{
};

TEST_P(RecordSetErrors, ExactTextAndTheStateIsKept)
{
    const ErrorCase& c = GetParam();
    RecordSet& q = openSet(c.rows < 0 ? 2 : c.rows);
    if (c.rows < 0)
        q.close();
    if (c.setUp)
        c.setUp(q);
    const State state = q.state();
    const int row = q.recNo();
    const bool modified = q.isModified();
    try {
        c.action(q);
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.text(), c.text);
    }
    EXPECT_EQ(q.state(), state);
    EXPECT_EQ(q.recNo(), row);
    EXPECT_EQ(q.isModified(), modified);
}

INSTANTIATE_TEST_SUITE_P(Table, RecordSetErrors, ::testing::ValuesIn(errorCases), [](const auto& info) {
    QString name = QString::fromLatin1(info.param.situation);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z]")), QStringLiteral("_"));
    return name.toStdString();
});

TEST_F(DiaryTest, AReadOnlyFieldIsNamedByItsDisplayLabel)
{
    RecordSet& q = openSet(1);
    q.fieldByName(QStringLiteral("id_job")).setDisplayLabel(QStringLiteral("Номер"));
    q.edit();
    try {
        q.fieldByName(QStringLiteral("id_job")).setValue(7);
        ADD_FAILURE() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.text(), QStringLiteral("Field 'Номер' cannot be modified"));
    }
}

TEST_F(DiaryTest, APostTheEngineRejectsKeepsTheEditForCorrection)
{
    RecordSet& q = openSet(2);
    q.edit();
    jobField(q).setText(QStringLiteral("mine"));
    {
        Connection other(DiaryBackend::open(diary.connectionString()), JobTable::schema());
        other.select(QStringLiteral("select * from job order by id_job"), {})->deleteRow(0);
    }
    try {
        q.post();
        ADD_FAILURE() << "no error";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.text(), QStringLiteral("Row cannot be located for updating. Some values may have been "
                                               "changed since it was last read."));
    }
    EXPECT_EQ(q.state(), State::Edit);
    EXPECT_EQ(jobField(q).displayText(), QStringLiteral("mine"));
    q.cancel();
    EXPECT_EQ(q.state(), State::Browse);
}

} // namespace
