#include "databind/DatabaseError.h"
#include "databind/FormatSettings.h"
#include "base/DateSerial.h"
#include "support/DataModuleTest.h"
#include "support/QtPrinters.h"

#include <cmath>
#include <limits>

namespace {

struct FormatsScope
{
    explicit FormatsScope(const FormatSettings& settings) { FormatSettings::setCurrent(settings); }
    ~FormatsScope() { FormatSettings::setCurrent(FormatSettings()); }
};

class FieldTexts : public DataModuleTest
{
protected:
    Field& field(const char* name) { return module().QJob.fieldByName(QString::fromLatin1(name)); }
    void addRow()
    {
        diary.addRow({{"job", QStringLiteral("Купить хлеб")},
                      {"date_zap", moment()},
                      {"date_isp", QDate(2026, 4, 15)},
                      {"time_isp", QTime(9, 30)},
                      {"date_shed", QTime(7, 5, 3)},
                      {"other", QStringLiteral("строка 1\nстрока 2")},
                      {"vip", true},
                      {"napom", false},
                      {"period", QStringLiteral("ежедневное")}});
    }
};

TEST_F(FieldTexts, DisplayAndEditTextOfEveryKind)
{
    addRow();
    allJobs();
    const struct
    {
        const char* field;
        QString display;
        QString edit;
    } cases[] = {
        {"date_zap", "12.03.2026 14:05:09", "12.03.2026 14:05:09"},
        {"date_isp", "15.04.2026", "15.04.2026"},
        {"time_isp", "09:30", "30.12.1899 09:30:00"},
        {"date_shed", "30.12.1899 07:05:03", "30.12.1899 07:05:03"},
        {"time_shed", "", ""},
        {"vip", "True", "True"},
        {"napom", "False", "False"},
        {"job", "Купить хлеб", "Купить хлеб"},
        {"other", "строка 1\nстрока 2", "строка 1\nстрока 2"},
        {"period", "ежедневное", "ежедневное"},
        {"id_job", "1", "1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(field(c.field).displayText(), c.display) << c.field;
        EXPECT_EQ(field(c.field).editText(), c.edit) << c.field;
    }

    const FormatsScope iso(
        {QStringLiteral("yyyy-MM-dd"), QStringLiteral("HH.mm.ss"), QLatin1Char('-'), QLatin1Char('.')});
    EXPECT_EQ(field("time_isp").displayText(), QStringLiteral("09.30"));
    EXPECT_EQ(field("date_zap").displayText(), QStringLiteral("2026-03-12 14.05.09"));
}

TEST_F(FieldTexts, TextsWrittenBackAndWhatIsStored)
{
    addRow();
    RecordSet& q = allJobs();
    q.edit();
    const struct
    {
        const char* field;
        QString text;
        QVariant value;
    } cases[] = {
        {"date_isp", "16.05.2026", QDateTime(QDate(2026, 5, 16), QTime(0, 0))},
        {"date_isp", "16.05.2026 08:15", QDateTime(QDate(2026, 5, 16), QTime(8, 15))},
        {"date_isp", "16.05", QDateTime(QDate(2026, 5, 16), QTime(0, 0))},
        {"time_isp", " 9:45", QDateTime(QDate(1899, 12, 30), QTime(9, 45))},
        {"date_isp", "01.01.1850 10:00", QDateTime(QDate(1850, 1, 1), QTime(10, 0))}, // a day count below zero
        {"date_isp", "", QVariant()},
        {"vip", "False", false},
        {"vip", "", QVariant()},
        {"period", "ежемесячное и ещё", QStringLiteral("ежемесячное и е")},
        {"job", "", QVariant()},
        {"other", QString(300, QLatin1Char('x')), QString(300, QLatin1Char('x'))},
    };
    for (const auto& c : cases) {
        field(c.field).setText(c.text);
        EXPECT_EQ(field(c.field).value(), c.value) << c.field << " " << c.text.toStdString();
    }
    field("job").setText(QString(260, QLatin1Char('j')));
    EXPECT_EQ(field("job").value().toString().size(), 250);

    q.post();
    EXPECT_EQ(field("vip").value(), QVariant(false)); // what the database stored for null
    const qint64 id = field("id_job").value().toLongLong();
    EXPECT_EQ(diary.value(id, "period"), QVariant(QStringLiteral("ежемесячное и е")));
    EXPECT_EQ(diary.value(id, "time_isp"), QVariant(QDateTime(QDate(1899, 12, 30), QTime(9, 45))));
    EXPECT_TRUE(diary.value(id, "date_isp").isNull());
}

TEST_F(FieldTexts, AnImpossibleDateLeavesTheFieldAsItWas)
{
    addRow();
    RecordSet& q = allJobs();
    q.edit();
    for (const QString& text : {QStringLiteral("31.02.2026"), QStringLiteral("25:00"), QStringLiteral("завтра")}) {
        try {
            field("date_isp").setText(text);
            ADD_FAILURE() << "no error";
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.text(), QStringLiteral("'%1' is not a valid date and time").arg(text));
        }
    }
    EXPECT_EQ(field("date_isp").displayText(), QStringLiteral("15.04.2026"));
    EXPECT_FALSE(q.isModified());
}

TEST_F(FieldTexts, EmptyAndClosedSetsReadNull)
{
    addRow();
    RecordSet& q = module().QJob; // period null: no rows
    EXPECT_TRUE(field("vip").isNull());
    EXPECT_EQ(field("date_isp").displayText(), QString());
    q.insert();
    EXPECT_TRUE(field("vip").isNull());
    EXPECT_EQ(field("vip").displayText(), QString());
    q.close();
    EXPECT_TRUE(field("job").isNull());
}

// A control tells an empty cell by its value being the null QVariant, which reaches it as stored, whatever the
// storage makes of a null text or date.
TEST_F(FieldTexts, NullCellsOfEveryKindReadAsTheNullValue)
{
    diary.addRow({{"job", QStringLiteral("без подробностей")}});
    allJobs();
    for (const char* name : {"period", "other", "date_isp", "time_isp"}) {
        const QVariant value = field(name).value();
        EXPECT_FALSE(value.isValid()) << name;
        EXPECT_TRUE(field(name).isNull()) << name;
    }
    EXPECT_EQ(field("job").value(), QVariant(QStringLiteral("без подробностей")));
}

} // namespace

TEST_F(FieldTexts, DatesTheProgramCannotShowReadAsNullEverywhere)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double absurd[] = {
        1e300, -1e300, inf, -inf, DateSerial::fromDate(QDate(99, 12, 31)), DateSerial::fromDate(QDate(10000, 1, 1)),
        9.3e18};
    for (const double serial : absurd)
        diary.addRow({{"job", QString::number(serial)}, {"date_isp", serial}, {"time_isp", serial}});
    RecordSet& q = allJobs();
    ASSERT_EQ(q.recordCount(), static_cast<int>(std::size(absurd)));
    for (int row = 0; row < q.recordCount(); ++row) {
        q.first();
        q.moveBy(row);
        SCOPED_TRACE(field("job").asString().toStdString());
        for (const char* name : {"date_isp", "time_isp"}) {
            const Field& f = field(name);
            EXPECT_TRUE(f.isNull()) << name;
            EXPECT_TRUE(f.value().isNull()) << name;
            EXPECT_FALSE(f.asDateTime().isValid()) << name;
            EXPECT_TRUE(std::isnan(f.asSerial())) << name;
            EXPECT_EQ(f.displayText(), QString()) << name;
            EXPECT_EQ(f.editText(), QString()) << name;
        }
    }
    // The first and the last day the program shows are still dates.
    diary.addRow({{"job", QStringLiteral("edges")},
                  {"date_isp", QDate(100, 1, 1)},
                  {"date_shed", QDateTime(QDate(9999, 12, 31), QTime(23, 59))}});
    q.close();
    q.open();
    q.last();
    EXPECT_EQ(field("date_isp").value(), QVariant(QDateTime(QDate(100, 1, 1), QTime(0, 0))));
    EXPECT_EQ(field("date_shed").displayText(), QStringLiteral("31.12.9999 23:59:00"));
}

TEST_F(FieldTexts, TextsAreCutInWholeCharacters)
{
    addRow();
    RecordSet& q = allJobs();
    q.edit();
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const struct
    {
        const char* field;
        QString text;
        QString stored;
    } cases[] = {
        {"period", emoji.repeated(15), emoji.repeated(15)},
        {"period", emoji.repeated(16), emoji.repeated(15)},
        {"period", QStringLiteral("a") + emoji.repeated(15), QStringLiteral("a") + emoji.repeated(14)},
        {"job", emoji.repeated(251), emoji.repeated(250)},
        {"job", QStringLiteral("a") + emoji.repeated(249), QStringLiteral("a") + emoji.repeated(249)},
    };
    for (const auto& c : cases) {
        field(c.field).setText(c.text);
        EXPECT_EQ(field(c.field).asString(), c.stored) << c.field << " " << c.text.size();
    }
    q.post();
    const qint64 id = field("id_job").value().toLongLong();
    EXPECT_EQ(diary.value(id, "job"), QVariant(QStringLiteral("a") + emoji.repeated(249)));
    EXPECT_EQ(diary.value(id, "period"), QVariant(QStringLiteral("a") + emoji.repeated(14)));
}
