#include "units/UnitDM.h"

#include "diary/Queries.h"
#include "engine/Clock.h"

#include <initializer_list>

TDataModule1* DataModule1 = nullptr;

namespace {

struct JobColumn
{
    const char* name;
    FieldKind kind;
    int size;
};

// The columns of job as the record sets declare them.
constexpr JobColumn jobColumns[] = {
    {"id_job", FieldKind::AutoIncrement, 0}, {"job", FieldKind::Text, 250},
    {"date_zap", FieldKind::DateTime, 0},    {"date_isp", FieldKind::DateTime, 0},
    {"time_isp", FieldKind::DateTime, 0},    {"interval", FieldKind::Boolean, 0},
    {"other", FieldKind::Memo, 0},           {"vip", FieldKind::Boolean, 0},
    {"period", FieldKind::Text, 15},         {"napom", FieldKind::Boolean, 0},
    {"date_shed", FieldKind::DateTime, 0},   {"time_shed", FieldKind::DateTime, 0},
};

void declareFields(RecordSet& set, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        for (const JobColumn& column : jobColumns) {
            if (qstrcmp(column.name, name) != 0)
                continue;
            Field& field = set.addField(QString::fromLatin1(name), column.kind, column.size);
            field.setReadOnly(column.kind == FieldKind::AutoIncrement);
        }
    }
}

const QString timeOfDay = QStringLiteral("hh:mm");
const QString timeMask = QStringLiteral("!90:00;1;_");

} // namespace

QString TDataModule1::connectionString()
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=db1.mdb;Persist Security Info=False");
}

TDataModule1::TDataModule1()
    : ADOConnection1(connectionString()), QJob(QStringLiteral("QJob"), ADOConnection1),
      SQJob(QStringLiteral("SQJob"), &QJob), QJobHour(QStringLiteral("QJobHour"), ADOConnection1),
      SQJobHour(QStringLiteral("SQJobHour"), &QJobHour), QJobDay(QStringLiteral("QJobDay"), ADOConnection1),
      SQJobDay(QStringLiteral("SQJobDay"), &QJobDay), QJobWeek(QStringLiteral("QJobWeek"), ADOConnection1),
      SQJobWeek(QStringLiteral("SQJobWeek"), &QJobWeek), QBirth(QStringLiteral("QBirth"), ADOConnection1),
      SQBirth(QStringLiteral("SQBirth"), &QBirth)
{
    QJob.setSql(Queries::jobListAsCreated());
    declareFields(QJob, {"id_job", "job", "date_zap", "date_isp", "time_isp", "other", "vip", "period", "napom",
                         "interval", "date_shed", "time_shed"});
    QJob.fieldByName(QStringLiteral("job")).setDisplayLabel(QStringLiteral("Задание"));
    QJob.fieldByName(QStringLiteral("job")).setDisplayWidth(150);
    QJob.fieldByName(QStringLiteral("date_zap")).setDisplayLabel(QStringLiteral("Дата записи"));
    for (const char* name : {"time_isp", "time_shed"}) {
        QJob.fieldByName(QString::fromLatin1(name)).setDisplayFormat(timeOfDay);
        QJob.fieldByName(QString::fromLatin1(name)).setEditMask(timeMask);
    }
    QJob.setBeforePost([this](RecordSet& set) { QJobBeforePost(set); });

    QJobHour.setSql(Queries::jobHour());
    declareFields(QJobHour,
                  {"id_job", "job", "date_zap", "date_isp", "time_isp", "other", "vip", "interval", "period", "napom"});
    QJobHour.fieldByName(QStringLiteral("time_isp")).setDisplayFormat(timeOfDay);

    QJobDay.setSql(Queries::jobDay());

    QJobWeek.setSql(Queries::jobWeek());
    declareFields(QJobWeek, {"id_job", "job", "date_zap", "date_isp", "time_isp", "interval", "other", "vip", "period",
                             "napom", "date_shed", "time_shed"});
    QJobWeek.fieldByName(QStringLiteral("time_isp")).setDisplayFormat(timeOfDay);

    QBirth.setSql(Queries::birthdays());

    QJob.open();
    if (!DataModule1)
        DataModule1 = this;
}

TDataModule1::~TDataModule1()
{
    if (DataModule1 == this)
        DataModule1 = nullptr;
}

void TDataModule1::QJobBeforePost(RecordSet& DataSet)
{
    DataSet.fieldByName(QStringLiteral("date_zap")).setAsDateTime(Clock::now());
}
