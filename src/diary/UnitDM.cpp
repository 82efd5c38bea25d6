#include "diary/UnitDM.h"

#include "diary/DiaryBackend.h"
#include "diary/DiaryIdentity.h"
#include "diary/JobTable.h"
#include "diary/Period.h"
#include "diary/Queries.h"
#include "base/Clock.h"

TDataModule1::TDataModule1(const QString& connectionString)
    : ADOConnection1(DiaryBackend::open(connectionString), JobTable::schema()),
      QJob(QStringLiteral("QJob"), ADOConnection1), SQJob(QStringLiteral("SQJob"), &QJob),
      QJobHour(QStringLiteral("QJobHour"), ADOConnection1), SQJobHour(QStringLiteral("SQJobHour"), &QJobHour),
      QJobDay(QStringLiteral("QJobDay"), ADOConnection1), SQJobDay(QStringLiteral("SQJobDay"), &QJobDay),
      QJobWeek(QStringLiteral("QJobWeek"), ADOConnection1), SQJobWeek(QStringLiteral("SQJobWeek"), &QJobWeek),
      QBirth(QStringLiteral("QBirth"), ADOConnection1), SQBirth(QStringLiteral("SQBirth"), &QBirth),
      QJobMonth(QStringLiteral("QJobMonth"), ADOConnection1), SQJobMonth(QStringLiteral("SQJobMonth"), &QJobMonth),
      QJobCritik(QStringLiteral("QJobCritik"), ADOConnection1), SQJobCritik(QStringLiteral("SQJobCritik"), &QJobCritik)
{
    QJob.setSql(Queries::jobListForPeriod());
    JobTable::declareFields(QJob, {"id_job", "job", "date_zap", "date_isp", "time_isp", "other", "vip", "period",
                                   "napom", "interval", "date_shed", "time_shed"});
    QJob.setBeforePost([this](RecordSet& set) { QJobBeforePost(set); });

    QJobHour.setSql(Queries::jobHour());
    JobTable::declareFields(
        QJobHour, {"id_job", "job", "date_zap", "date_isp", "time_isp", "other", "vip", "interval", "period", "napom"});

    QJobDay.setSql(Queries::jobDay());
    JobTable::declareFields(QJobDay, {"id_job", "job", "date_zap", "date_isp", "time_isp", "interval", "other", "vip",
                                      "period", "napom", "date_shed", "time_shed"});

    QJobWeek.setSql(Queries::jobWeek());
    JobTable::declareFields(QJobWeek, {"id_job", "job", "date_zap", "date_isp", "time_isp", "interval", "other", "vip",
                                       "period", "napom", "date_shed", "time_shed"});

    QBirth.setSql(Queries::birthdays());

    // Shown as the daily set is, with every column of the row.
    for (RecordSet* set : {&QJobMonth, &QJobCritik})
        JobTable::declareFields(*set, {"id_job", "job", "date_zap", "date_isp", "time_isp", "interval", "other", "vip",
                                       "period", "napom", "date_shed", "time_shed"});
    QJobMonth.setSql(Queries::jobMonth());
    QJobCritik.setSql(Queries::jobCritik());

    QJob.open();
}

void TDataModule1::QJobBeforePost(RecordSet& DataSet)
{
    DataSet.fieldByName(QStringLiteral("date_zap")).setAsDateTime(Clock::now());
}

void TDataModule1::showPeriod(const Period& period)
{
    QJob.close();
    QJob.setSql(Queries::jobListForPeriod());
    QJob.setParameter(QStringLiteral("period"), period.text());
    QJob.open();
}

void TDataModule1::showAllEvents()
{
    QJob.close();
    QJob.setSql({Queries::jobListAll()});
    QJob.open();
}

const QString& TDataModule1::diaryIdentity()
{
    if (m_diaryIdentity.isEmpty())
        m_diaryIdentity = DiaryIdentity::of(ADOConnection1);
    return m_diaryIdentity;
}

RecordSet& TDataModule1::reminderSet(ReminderKind kind)
{
    return *reminderSource(kind).recordSet();
}

DataSource& TDataModule1::reminderSource(ReminderKind kind)
{
    switch (kind) {
    case ReminderKind::Hour:
        return SQJobHour;
    case ReminderKind::Day:
        return SQJobDay;
    case ReminderKind::Week:
        return SQJobWeek;
    case ReminderKind::Birth:
        return SQBirth;
    case ReminderKind::Month:
        return SQJobMonth;
    case ReminderKind::Critical:
        return SQJobCritik;
    }
    Q_UNREACHABLE();
}
