#include "base/Error.h"
#include "support/DataModuleTest.h"
#include "support/QtPrinters.h"

#include <QFile>

namespace {

QStringList fieldNames(const RecordSet& set)
{
    QStringList names;
    for (int i = 0; i < set.fieldCount(); ++i)
        names << set.field(i)->fieldName();
    return names;
}

TEST_F(DataModuleTest, CreationOpensTheListQueryEmptyAndLeavesTheReminderSetsClosed)
{
    diary.addRow({{"job", QStringLiteral("a")}, {"period", QStringLiteral("ежедневное")}});
    TDataModule1& dm = module();
    EXPECT_TRUE(dm.QJob.isOpen());
    EXPECT_TRUE(dm.QJob.isEmpty());
    EXPECT_EQ(dm.QJob.sql(), QStringList({"select * from job", "where period = :period", "order by date_isp"}));
    EXPECT_TRUE(dm.QJob.parameter(QStringLiteral("period")).isNull());
    for (const RecordSet* set : {&dm.QJobHour, &dm.QJobDay, &dm.QJobWeek, &dm.QBirth})
        EXPECT_FALSE(set->isOpen()) << set->name().toStdString();
    const std::pair<const DataSource*, const RecordSet*> sources[] = {{&dm.SQJob, &dm.QJob},
                                                                      {&dm.SQJobHour, &dm.QJobHour},
                                                                      {&dm.SQJobDay, &dm.QJobDay},
                                                                      {&dm.SQJobWeek, &dm.QJobWeek},
                                                                      {&dm.SQBirth, &dm.QBirth}};
    for (const auto& [source, set] : sources)
        EXPECT_EQ(source->recordSet(), set) << source->name().toStdString();

    dm.QJob.close();
    dm.QJob.setParameter(QStringLiteral("period"), QStringLiteral("ежедневное"));
    dm.QJob.open();
    EXPECT_EQ(dm.QJob.recordCount(), 1);
}

TEST_F(DataModuleTest, WithoutTheDatabaseFileCreationFails)
{
    QFile::remove(diary.databasePath());
    EXPECT_THROW(TDataModule1(diary.connectionString()), EngineError);
}

TEST_F(DataModuleTest, ListFieldsCarryTheirDisplayProperties)
{
    const struct
    {
        const char* name;
        QString label;
        int width;
        QString format;
        QString mask;
        bool readOnly;
    } cases[] = {
        {"id_job", "id_job", 10, "", "", true},
        {"job", "Задание", 150, "", "", false},
        {"date_zap", "Дата записи", 18, "", "", false},
        {"date_isp", "date_isp", 18, "", "", false},
        {"time_isp", "time_isp", 18, "hh:mm", "!90:00;1;_", false},
        {"other", "other", 10, "", "", false},
        {"vip", "vip", 5, "", "", false},
        {"period", "period", 15, "", "", false},
        {"napom", "napom", 5, "", "", false},
        {"interval", "interval", 5, "", "", false},
        {"date_shed", "date_shed", 18, "", "", false},
        {"time_shed", "time_shed", 18, "hh:mm", "!90:00;1;_", false},
    };
    RecordSet& q = module().QJob;
    ASSERT_EQ(q.fieldCount(), 12);
    for (const auto& c : cases) {
        const Field& f = q.fieldByName(QString::fromLatin1(c.name));
        EXPECT_EQ(f.displayLabel(), c.label) << c.name;
        EXPECT_EQ(f.displayWidth(), c.width) << c.name;
        EXPECT_EQ(f.displayFormat(), c.format) << c.name;
        EXPECT_EQ(f.editMask(), c.mask) << c.name;
        EXPECT_EQ(f.isReadOnly(), c.readOnly) << c.name;
    }
}

TEST_F(DataModuleTest, ReminderSetsHaveTheirFieldsAndTimeFormats)
{
    diary.addRow({{"job", QStringLiteral("Иванов И.И.")},
                  {"period", QStringLiteral("День рождения")},
                  {"date_isp", QDate(1980, 3, 12)},
                  {"date_shed", QDate(2000, 3, 1)},
                  {"time_isp", QTime(9, 30)}});
    TDataModule1& dm = module();
    for (RecordSet* set : {&dm.QJobHour, &dm.QJobDay, &dm.QJobWeek, &dm.QBirth})
        set->open();
    EXPECT_EQ(fieldNames(dm.QJobHour), QStringList({"id_job", "job", "date_zap", "date_isp", "time_isp", "other", "vip",
                                                    "interval", "period", "napom"}));
    EXPECT_EQ(fieldNames(dm.QJobWeek), QStringList({"id_job", "job", "date_zap", "date_isp", "time_isp", "interval",
                                                    "other", "vip", "period", "napom", "date_shed", "time_shed"}));
    EXPECT_EQ(dm.QJobDay.fieldCount(), 12);
    EXPECT_EQ(fieldNames(dm.QBirth),
              QStringList({"job", "date_isp", "time_isp", "date_shed", "time_shed", "vip", "other", "jobbirth"}));
    EXPECT_EQ(dm.QJobHour.fieldByName(QStringLiteral("time_isp")).displayFormat(), QStringLiteral("hh:mm"));
    EXPECT_EQ(dm.QJobWeek.fieldByName(QStringLiteral("time_isp")).displayFormat(), QStringLiteral("hh:mm"));
    EXPECT_EQ(dm.QJobWeek.fieldByName(QStringLiteral("time_shed")).displayFormat(), QStringLiteral("hh:mm"));
    EXPECT_EQ(dm.QJobDay.fieldByName(QStringLiteral("time_isp")).displayFormat(), QStringLiteral("hh:mm"));

    ASSERT_EQ(dm.QBirth.recordCount(), 1);
    EXPECT_EQ(dm.QBirth.fieldByName(QStringLiteral("time_isp")).displayText(), QStringLiteral("30.12.1899 09:30:00"));
}

TEST_F(DataModuleTest, EveryPostThroughTheListStampsTheMomentAndNoOtherSetDoes)
{
    RecordSet& q = allJobs();
    q.insert();
    q.fieldByName(QStringLiteral("job")).setText(QStringLiteral("новое"));
    q.fieldByName(QStringLiteral("period")).setText(QStringLiteral("ежечасное"));
    q.post();
    const qint64 id = q.fieldByName(QStringLiteral("id_job")).value().toLongLong();
    EXPECT_EQ(diary.value(id, QStringLiteral("date_zap")), QVariant(moment()));
    EXPECT_EQ(q.fieldByName(QStringLiteral("date_zap")).asDateTime(), moment());

    const QDateTime later(QDate(2026, 3, 13), QTime(8, 0, 1));
    clock.set(later);
    q.edit();
    q.fieldByName(QStringLiteral("other")).setText(QStringLiteral("x"));
    q.post();
    EXPECT_EQ(diary.value(id, QStringLiteral("date_zap")), QVariant(later));

    clock.set(QDateTime(QDate(2026, 3, 14), QTime(10, 0)));
    RecordSet& hour = module().QJobHour;
    hour.open();
    ASSERT_EQ(hour.recordCount(), 1);
    hour.edit();
    hour.fieldByName(QStringLiteral("vip")).setAsBoolean(true);
    hour.post();
    EXPECT_EQ(diary.value(id, QStringLiteral("date_zap")), QVariant(later));
    EXPECT_EQ(diary.value(id, QStringLiteral("vip")), QVariant(true));
}

} // namespace
