#include "databind/DatabaseError.h"
#include "databind/FormatSettings.h"
#include "support/DataModuleTest.h"
#include "support/QtPrinters.h"

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

} // namespace
