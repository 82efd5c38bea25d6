#include "DiaryTest.h"
#include "support/QtPrinters.h"

#include <string>

namespace {

struct TextCase
{
    QStringList lines;
    QString statement;
    QStringList names;
};

void PrintTo(const TextCase& c, std::ostream* out)
{
    *out << c.lines.join(QLatin1Char('|')).toStdString();
}

class QueryParameters : public DiaryTest, public ::testing::WithParamInterface<TextCase>
{
};

TEST_P(QueryParameters, NamedParametersBecomeMarkersOutsideQuotes)
{
    const TextCase& c = GetParam();
    RecordSet& q = openSet(0);
    q.setSql(c.lines);
    EXPECT_EQ(q.statement(), c.statement);
    EXPECT_EQ(q.parameterNames(), c.names);
}

const TextCase textCases[] = {
    {{"select * from job", "where period = :period", "order by date_isp"},
     "select * from job\nwhere period = ?\norder by date_isp",
     {"period"}},
    {{"where a = ':x' and b = \":y\" and c = :z"}, "where a = ':x' and b = \":y\" and c = ?", {"z"}},
    {{"where a = 'it''s :x' and b = :b_1"}, "where a = 'it''s :x' and b = ?", {"b_1"}},
    {{"where t = '12::30' and u = 12::30"}, "where t = '12::30' and u = 12:30", {}},
    {{"where a = :p or b = :P or c = :q"}, "where a = ? or b = ? or c = ?", {"p", "q"}},
    {{"where a = :период"}, "where a = ?", {"период"}},
    {{"where a = :1 and b = : c:"}, "where a = :1 and b = : c:", {}},
};
INSTANTIATE_TEST_SUITE_P(Table, QueryParameters, ::testing::ValuesIn(textCases),
                         [](const auto& info) { return "text" + std::to_string(info.index); });

TEST_F(DiaryTest, ReplacingTheTextClosesTheSetAndKeepsValuesOfNamesItStillHas)
{
    RecordSet& q = openSet(1);
    q.setSql({QStringLiteral("select * from job where period = :period and job <> :job")});
    EXPECT_FALSE(q.isOpen());
    q.setParameter(QStringLiteral("period"), QStringLiteral("ежедневное"));
    q.setParameter(QStringLiteral("job"), QStringLiteral("x"));

    q.setSql({QStringLiteral("select * from job where period = :PERIOD or job = :other")});
    EXPECT_EQ(q.parameter(QStringLiteral("period")), QVariant(QStringLiteral("ежедневное")));
    EXPECT_TRUE(q.parameter(QStringLiteral("other")).isNull());

    q.setSql({QStringLiteral("select * from job")});
    q.setSql({QStringLiteral("select * from job where period = :period")});
    EXPECT_TRUE(q.parameter(QStringLiteral("period")).isNull());
}

TEST_F(DiaryTest, ParameterValuesReachTheEngineInMarkerOrderAtTheNextOpen)
{
    diary.addRow(
        {{QStringLiteral("job"), QStringLiteral("day")}, {QStringLiteral("period"), QStringLiteral("ежедневное")}});
    diary.addRow(
        {{QStringLiteral("job"), QStringLiteral("week")}, {QStringLiteral("period"), QStringLiteral("еженедельное")}});
    RecordSet& q = openSet(0);
    q.setSql({QStringLiteral("select * from job where period = :p and job <> :j order by job")});
    q.open();
    EXPECT_TRUE(q.isEmpty()); // both null

    q.setParameter(QStringLiteral("p"), QStringLiteral("ежедневное"));
    q.setParameter(QStringLiteral("j"), QStringLiteral("none"));
    EXPECT_TRUE(q.isEmpty()); // not until re-opened
    q.close();
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(job(), QStringLiteral("day"));
}

} // namespace
