#include "engine/Dialect.h"

#include "DiaryFile.h"
#include "base/Error.h"
#include "engine/Snapshot.h"
#include "support/ErrorOf.h"
#include "support/FixedClock.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QString translated(const QString& text)
{
    return Dialect::translate(text).sql;
}

class DialectOnDiaries : public ::testing::TestWithParam<DiaryKind>
{
protected:
    // The one value an expression gives, run through the engine.
    QVariant value(const QString& expression, const QList<QVariant>& parameters = {})
    {
        const auto snapshot = connection->select(QStringLiteral("select ") + expression, parameters);
        EXPECT_EQ(snapshot->rowCount(), 1);
        return snapshot->value(0, 0);
    }

    DiaryFile diary{GetParam()};
    std::unique_ptr<Connection> connection = diary.connect();
};

// What a file gives for numbers, flags and date-times as such: the server keeps them as its own types.
class DialectOnDatabase : public DialectOnDiaries
{
};

} // namespace

TEST(Dialect, QuotesAreTakenAsTheProgramWritesThem)
{
    const struct
    {
        QString text;
        QString sql;
    } cases[] = {
        {R"(select "it's")", R"(select 'it''s')"},
        {R"(select "say ""hi""")", R"(select 'say "hi"')"},
        {R"(select 'O''Brien')", R"(select 'O''Brien')"},
        {R"(select 'two "" stay')", R"(select 'two "" stay')"},
        {R"(select "a;b", "?", "x & y", '--')", R"(select 'a;b', '?', 'x & y', '--')"},
        {R"(select [my "odd" name] from [job])",
         R"(select "my ""odd"" name", "job".rowid AS row_identity_ from "job")"},
        {R"(select "" & '')", R"(select dialect_concat('', ''))"},
        {QStringLiteral("select \"День\"\n;  "), QStringLiteral("select 'День'")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(translated(c.text), c.sql) << c.text.toStdString();
}

TEST(Dialect, AmpersandBindsLooserThanArithmeticAndTighterThanComparison)
{
    const struct
    {
        QString text;
        QString sql;
    } cases[] = {
        {"select a & b & c", "select dialect_concat(dialect_concat(a, b), c)"},
        {"select a + 1 & b * 2", "select dialect_concat(a + 1, b * 2)"},
        {"select x where a & b = c & d", "select x where dialect_concat(a, b) = dialect_concat(c, d)"},
        {"select x where not a & b is null", "select x where not dialect_concat(a, b) is null"},
        {"select f(a & b, c) & -d as e", "select dialect_concat(f(dialect_concat(a, b), c), - d) as e"},
        {"select x where y between a & b and c", "select x where y between dialect_concat(a, b) and c"},
        {"select job& '  ' &(year(date())-year(date_isp)) as jobbirth from job",
         "select dialect_concat(dialect_concat(job, '  '), (dialect_year(dialect_date()) - dialect_year(date_isp))) "
         "as jobbirth, job.rowid AS row_identity_ from job"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(translated(c.text), c.sql) << c.text.toStdString();
}

TEST(Dialect, RowIdentityIsAddedOnlyWhereRowsMapToTableRows)
{
    const struct
    {
        QString text;
        bool identity;
    } cases[] = {
        {"select * from job where period = ? order by date_isp", true},
        {"select job, other from job j where j.vip = true", true},
        {"select count(*) from job", false},
        {"select distinct period from job", false},
        {"select period from job group by period", false},
        {"select * from job, job2", false},
        {"select 1", false},
    };
    for (const auto& c : cases) {
        const Dialect::Translation translation = Dialect::translate(c.text);
        EXPECT_EQ(translation.hasRowIdentity, c.identity) << c.text.toStdString();
        EXPECT_EQ(translation.table, c.identity ? QStringLiteral("job") : QString()) << c.text.toStdString();
    }
    EXPECT_EQ(translated("select job from job j"), QStringLiteral("select job, j.rowid AS row_identity_ from job j"));
}

// A null parameter empties a select only where the whole condition needs its column to equal it; a list can go on
// from its last key only in the order of the key of a table the engine knows.
TEST(Dialect, WhatASelectOfTheTableMakesOfNullParametersAndOfItsOrder)
{
    const TableSchema known{QStringLiteral("job"), {{QStringLiteral("id_job"), ColumnKind::AutoIncrement}}, {}};
    const struct
    {
        QString text;
        std::vector<int> emptyWhenNull;
        bool inSteps;
    } cases[] = {
        {"select * from job where period = ? order by date_isp", {0}, false},
        {"select * from job where ? = period and vip = false and date_isp > ? and other = ?", {0, 2}, false},
        {"select * from job j where (a = ?) and j.b = ? order by id_job", {}, true},
        {"select * from job where a = ? or b = ?", {}, false},
        {"select * from job where x between ? and ? and a = ?", {}, false},
        {"select * from job where case when x and a = ? then 1 end = 1", {}, false},
        {"select * from job where a = ? + 1 and not b = ?", {}, false},
        {"select * from job where a = ? order by ID_JOB asc", {0}, true},
        {"select * from job order by rowid", {}, true},
        {"select * from job order by id_job desc", {}, false},
        {"select * from job order by id_job, job", {}, false},
        {"select * from job order by job", {}, false},
    };
    for (const auto& c : cases) {
        const Dialect::Translation translation = Dialect::translate(c.text, &known);
        EXPECT_EQ(translation.emptyWhenNull, c.emptyWhenNull) << c.text.toStdString();
        EXPECT_EQ(!translation.keysAfterSql.isEmpty(), c.inSteps) << c.text.toStdString();
    }
    // Without the table's schema only the rowid is known to be the key.
    EXPECT_TRUE(Dialect::translate(QStringLiteral("select * from job order by id_job")).keysAfterSql.isEmpty());
}

TEST(Dialect, MalformedTextsAreRefusedWithAReason)
{
    const struct
    {
        QString text;
        QString error;
    } cases[] = {
        {"select 1; select 2", "Characters found after end of SQL statement."},
        {R"(select "open)", "Syntax error in query: text without its closing \"."},
        {"select 'open", "Syntax error in query: text without its closing '."},
        {"select (1", "Syntax error in query: missing )."},
        {"select 1)", "Syntax error in query: unbalanced )."},
        {"select & 1", "Syntax error in query: & without a left operand."},
        {"select 1 &", "Syntax error in query: & without a right operand."},
        {"select :period", "Syntax error in query: unexpected character ':'."},
        {"select #31/31/2026#", "Syntax error in query: invalid date #31/31/2026#."},
        {" ; ", "Syntax error in query: the query is empty."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf([&] { Dialect::translate(c.text); }), c.error) << c.text.toStdString();
}

TEST(Dialect, NestingIsBoundedAndLongChainsOfAmpersandsTranslate)
{
    const auto nested = [](int depth) {
        return QStringLiteral("select 1 + ") + QStringLiteral("(").repeated(depth) + QStringLiteral("1") +
               QStringLiteral(")").repeated(depth);
    };
    EXPECT_EQ(translated(nested(200)), nested(200));
    for (const int depth : {201, 10000, 1000000})
        EXPECT_EQ(errorOf([&] { Dialect::translate(nested(depth)); }),
                  QStringLiteral("Syntax error in query: parentheses nested more than 200 deep."))
            << depth;

    constexpr int operands = 100001;
    const QString chain = QStringLiteral("select 'a'") + QStringLiteral(" & 'a'").repeated(operands - 1);
    const QString sql = translated(chain);
    EXPECT_EQ(sql, QStringLiteral("select ") + QStringLiteral("dialect_concat(").repeated(operands - 1) +
                       QStringLiteral("'a'") + QStringLiteral(", 'a')").repeated(operands - 1));
}

TEST_P(DialectOnDiaries, AmpersandJoinsTextsNullsAndNumbers)
{
    const struct
    {
        QString expression;
        QVariant result;
    } cases[] = {
        {R"("Анна" & "  " & 46)", QStringLiteral("Анна  46")},
        {R"(null & "x")", QStringLiteral("x")},
        {R"("x" & null)", QStringLiteral("x")},
        {"null & null", QVariant()},
        {"1 + 2 & 3", QStringLiteral("33")},
        {R"("a" & 1 + 2)", QStringLiteral("a3")},
        {R"("n" & 1.5)", QStringLiteral("n1.5")},
        {R"("n" & -0.25)", QStringLiteral("n-0.25")},
        {R"(year(null) & "")", QStringLiteral("")},
        {R"(iif(1 = 2, "да", "нет") & iif(null, 1, 0))", QStringLiteral("нет0")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(value(c.expression), c.result) << c.expression.toStdString();
}

TEST_P(DialectOnDiaries, DateFunctionsReadTheProgramClock)
{
    const FixedClock clock(QDateTime(QDate(2026, 4, 15), QTime(18, 30)));
    const struct
    {
        QString expression;
        QVariant result;
    } cases[] = {
        {"year(now()) & '-' & month(now()) & '-' & day(now())", QStringLiteral("2026-4-15")},
        {"year(date()) & '-' & month(date()) & '-' & day(date())", QStringLiteral("2026-4-15")},
        {"year(#2/29/1980#) & ' ' & month(#1980-02-29 10:00#) & ' ' & day(#2/29/1980 23:59:59#)",
         QStringLiteral("1980 2 29")},
        {"month(null)", QVariant()},
        {"7 mod 3", QStringLiteral("1")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(value(c.expression), c.result) << c.expression.toStdString();
}

TEST_P(DialectOnDiaries, ParametersAreUnicodeTextOrNullInMarkerOrder)
{
    diary.add({QStringLiteral("одна"), QVariant(), {}, {}, false, {}});
    EXPECT_EQ(value("? & '|' & ?", {QStringLiteral("Ёлка «ель»"), QVariant()}), QStringLiteral("Ёлка «ель»|"));
    EXPECT_EQ(value("iif(? = 'ЕЖЕЧАСНОЕ', 'да', 'нет')", {QStringLiteral("ежечасное")}), QStringLiteral("нет"))
        << "outside a condition texts compare as they are";
    EXPECT_EQ(value("count(*) from job where ? = 'ЕЖЕЧАСНОЕ'", {QStringLiteral("ежечасное")}), QStringLiteral("1"));
    EXPECT_EQ(value("count(*) from job where ? is null", {QVariant()}), QStringLiteral("1"));
    EXPECT_EQ(errorOf([&] { connection->select("select ? & ?", {QStringLiteral("one")}); }),
              QStringLiteral("No value given for one or more required parameters."));
    EXPECT_EQ(errorOf([&] { connection->select("select 1", {QStringLiteral("one")}); }),
              QStringLiteral("More parameter values were given than the query has parameters."));
}

TEST_P(DialectOnDatabase, NumbersFlagsAndDatesAreTheFilesOwn)
{
    const FixedClock clock(QDateTime(QDate(2026, 4, 15), QTime(18, 30)));
    const struct
    {
        QString expression;
        QVariant result;
    } cases[] = {
        {R"("n" & 2026.0 - 1980)", QStringLiteral("n46")},
        {R"("a" & "b" = "ab")", QStringLiteral("1")},
        {"now()", QString::number(DateSerial::fromDateTime(QDateTime(QDate(2026, 4, 15), QTime(18, 30))), 'g', 15)},
        {"date()", QStringLiteral("46127.0")},
        {"year(-1.25) & ' ' & day(-1.25)", QStringLiteral("1899 29")},
        {"year(-657434) & ' ' & year(2958465.5)", QStringLiteral("100 9999")},
        {"year(-657435)", QVariant()},
        {"year(2958466)", QVariant()},
        {"year(1e300)", QVariant()},
        {"month(-1e300)", QVariant()},
        {"day(1e999)", QVariant()},
        {"day(-1e999)", QVariant()},
        {"year('1e300')", QVariant()},
        {"month(9.3e18)", QVariant()},
        {"3 between 1 and 3", QStringLiteral("1")},
        {"true & ' ' & false", QStringLiteral("1 0")},
        {"? = 'ежечасное'", QStringLiteral("1")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(value(c.expression,
                        c.expression.contains(u'?') ? QList<QVariant>{QStringLiteral("ежечасное")} : QList<QVariant>{}),
                  c.result)
            << c.expression.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Diaries, DialectOnDiaries, bothDiaryKinds(), diaryKindName);
INSTANTIATE_TEST_SUITE_P(Diaries, DialectOnDatabase, testing::Values(DiaryKind::File), diaryKindName);

TEST(Dialect, TextsInConditionsAndTheOperandOfInCompareWithoutRegardToCase)
{
    const QString nocase = QStringLiteral(" COLLATE ") + Dialect::textCollation;
    EXPECT_EQ(Dialect::translate(QStringLiteral("select job, 'x' as y from job where period = ? and vip = false")).sql,
              QStringLiteral("select job, 'x' as y, job.rowid AS row_identity_ from job where period = ?%1 and vip = 0")
                  .arg(nocase));
    EXPECT_EQ(Dialect::translate(QStringLiteral("select * from job where period not in (\"a\", 'b') order by job")).sql,
              QStringLiteral("select *, job.rowid AS row_identity_ from job where period%1 not in('a'%1, 'b'%1) "
                             "order by job")
                  .arg(nocase));
}
