#include "diary/UnitDM.h"

#include "diary/DiaryBackend.h"
#include "diary/DiaryIdentity.h"
#include "diary/DiaryUndo.h"
#include "diary/JobTable.h"
#include "diary/Period.h"
#include "diary/Queries.h"
#include "base/Clock.h"
#include "base/DateSerial.h"
#include "base/Error.h"
#include "engine/Snapshot.h"

TDataModule1::TDataModule1(const QString& connectionString)
    : ADOConnection1(DiaryBackend::open(connectionString), JobTable::schema()),
      QJob(QStringLiteral("QJob"), ADOConnection1), SQJob(QStringLiteral("SQJob"), &QJob),
      QJobHour(QStringLiteral("QJobHour"), ADOConnection1), SQJobHour(QStringLiteral("SQJobHour"), &QJobHour),
      QJobDay(QStringLiteral("QJobDay"), ADOConnection1), SQJobDay(QStringLiteral("SQJobDay"), &QJobDay),
      QJobWeek(QStringLiteral("QJobWeek"), ADOConnection1), SQJobWeek(QStringLiteral("SQJobWeek"), &QJobWeek),
      QBirth(QStringLiteral("QBirth"), ADOConnection1), SQBirth(QStringLiteral("SQBirth"), &QBirth),
      QJobMonth(QStringLiteral("QJobMonth"), ADOConnection1), SQJobMonth(QStringLiteral("SQJobMonth"), &QJobMonth),
      QJobCritik(QStringLiteral("QJobCritik"), ADOConnection1), SQJobCritik(QStringLiteral("SQJobCritik"), &QJobCritik),
      QAlarm(QStringLiteral("QAlarm"), ADOConnection1), SQAlarm(QStringLiteral("SQAlarm"), &QAlarm),
      m_connectionString(connectionString)
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
    for (RecordSet* set : {&QJobMonth, &QJobCritik, &QAlarm})
        JobTable::declareFields(*set, {"id_job", "job", "date_zap", "date_isp", "time_isp", "interval", "other", "vip",
                                       "period", "napom", "date_shed", "time_shed"});
    QJobMonth.setSql(Queries::jobMonth());
    QJobCritik.setSql(Queries::jobCritik());
    QAlarm.setSql(Queries::alarms({}));

    // Every write of the sets is a step of the undo journal, named after its event. What the reminder window posts
    // is its tick.
    auto deleted = [this](RecordSet& set) { ADOConnection1.journalNextWrite(DiaryUndo::deletedLabel(jobOf(set))); };
    QJob.setBeforeDelete(deleted);
    for (ReminderKind kind : reminderKinds) {
        RecordSet& set = reminderSet(kind);
        set.setBeforeDelete(deleted);
        set.setBeforePost([this](RecordSet& set) {
            const Field* done = set.findField(QStringLiteral("vip"));
            const bool ticked = done && done->asBoolean();
            ADOConnection1.journalNextWrite(ticked ? DiaryUndo::tickedLabel(jobOf(set))
                                                   : DiaryUndo::editedLabel(jobOf(set)));
        });
    }

    QJob.open();
}

QString TDataModule1::jobOf(const RecordSet& set)
{
    const Field* job = set.findField(QStringLiteral("job"));
    return job ? job->asString() : QString();
}

void TDataModule1::QJobBeforePost(RecordSet& DataSet)
{
    DataSet.fieldByName(QStringLiteral("date_zap")).setAsDateTime(Clock::now());
    ADOConnection1.journalNextWrite(DataSet.state() == RecordSet::State::Insert
                                        ? DiaryUndo::addedLabel(jobOf(DataSet))
                                        : DiaryUndo::editedLabel(jobOf(DataSet)));
}

bool TDataModule1::undoLast()
{
    return takeStep(true);
}

bool TDataModule1::redoNext()
{
    return takeStep(false);
}

bool TDataModule1::takeStep(bool undo)
{
    if (QJob.isOpen())
        QJob.checkBrowseMode();
    if (!DiaryUndo::step(ADOConnection1, undo ? DiaryUndo::Direction::Undo : DiaryUndo::Direction::Redo))
        return false;
    eventsWrittenElsewhere();
    return true;
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

std::optional<Period> TDataModule1::showEvent(qint64 id)
{
    // As choosing another node does, the list's unsaved edit is saved first; it may be this event's own.
    if (QJob.isOpen())
        QJob.checkBrowseMode();
    const std::unique_ptr<Snapshot> rows = ADOConnection1.select(Queries::foundEvents({id}), {});
    if (rows->rowCount() == 0)
        throw Error(QStringLiteral("Это мероприятие уже удалено."));
    const QVariant stored = rows->value(0, rows->columnIndex(JobTable::name(JobTable::Column::Period)));
    const std::optional<Period> period = stored.isNull() ? std::nullopt : Period::fromStored(stored.toString());
    if (period)
        showPeriod(*period);
    else
        showAllEvents();
    // The key is the row's identity: found among the keys, no row read.
    const int found = QJob.findRecord(id);
    if (found > 0)
        QJob.moveBy(found - QJob.recNo());
    return period;
}

const QString& TDataModule1::diaryIdentity()
{
    if (m_diaryIdentity.isEmpty())
        m_diaryIdentity = DiaryIdentity::of(ADOConnection1);
    return m_diaryIdentity;
}

void TDataModule1::setAlarmIds(const QList<qint64>& ids)
{
    m_alarmIds = ids;
    QAlarm.setSql(Queries::alarms(ids));
}

std::vector<TimedEvent> TDataModule1::timedEvents()
{
    const std::unique_ptr<Snapshot> rows = ADOConnection1.select(Queries::timedEvents(), {});
    auto column = [&rows](JobTable::Column column) { return rows->columnIndex(JobTable::name(column)); };
    const int id = column(JobTable::Column::IdJob);
    const int period = column(JobTable::Column::Period);
    const int timer = column(JobTable::Column::Napom);
    const int done = column(JobTable::Column::Vip);
    const int reminderDate = column(JobTable::Column::DateShed);
    const int reminderTime = column(JobTable::Column::TimeShed);
    const int executionDate = column(JobTable::Column::DateIsp);
    // A date-time the program could not show counts as none, as in the panel.
    auto serial = [&rows](int row, int column) -> std::optional<double> {
        const QVariant& value = rows->value(row, column);
        if (value.isNull() || !DateSerial::isShowable(value.toDouble()))
            return std::nullopt;
        return value.toDouble();
    };
    std::vector<TimedEvent> events;
    events.reserve(static_cast<std::size_t>(rows->rowCount()));
    for (int row = 0; row < rows->rowCount(); ++row) {
        TimedEvent event;
        event.id = rows->value(row, id).toLongLong();
        const QVariant& text = rows->value(row, period);
        event.period = text.isNull() ? std::nullopt : Period::fromStored(text.toString());
        event.timer = rows->value(row, timer).toBool();
        event.done = rows->value(row, done).toBool();
        if (const auto date = serial(row, reminderDate))
            event.reminderDate = DateSerial::toDate(*date);
        if (const auto time = serial(row, reminderTime))
            event.reminderTime = DateSerial::toTime(*time);
        if (const auto date = serial(row, executionDate))
            event.executionDate = DateSerial::toDate(*date);
        events.push_back(event);
    }
    return events;
}

void TDataModule1::eventsWrittenElsewhere()
{
    if (QJob.isOpen())
        QJob.refresh();
    if (m_afterWrite)
        m_afterWrite();
}

void TDataModule1::setAfterWrite(std::function<void()> hook)
{
    m_afterWrite = hook;
    RecordSet::Hook afterWrite;
    if (hook)
        afterWrite = [hook = std::move(hook)](RecordSet&) { hook(); };
    QJob.setAfterWrite(afterWrite);
    for (ReminderKind kind : reminderKinds)
        reminderSet(kind).setAfterWrite(afterWrite);
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
    case ReminderKind::Alarm:
        return SQAlarm;
    }
    Q_UNREACHABLE();
}
