#pragma once

#include "databind/DataSource.h"
#include "databind/RecordSet.h"
#include "diary/ReminderKind.h"
#include "engine/Connection.h"

class Period;

// The data module: the one connection to the diary, every record set of the program and its data source. Creating
// it opens the connection and the list query QJob; the reminder sets stay closed.
class TDataModule1
{
public:
    explicit TDataModule1(const QString& connectionString);
    TDataModule1(const TDataModule1&) = delete;
    TDataModule1& operator=(const TDataModule1&) = delete;

    Connection ADOConnection1;
    RecordSet QJob;
    DataSource SQJob;
    RecordSet QJobHour;
    DataSource SQJobHour;
    RecordSet QJobDay;
    DataSource SQJobDay;
    RecordSet QJobWeek;
    DataSource SQJobWeek;
    RecordSet QBirth;
    DataSource SQBirth;
    RecordSet QJobMonth;
    DataSource SQJobMonth;
    RecordSet QJobCritik;
    DataSource SQJobCritik;

    // The set a reminder check re-reads and the reminder window shows, and its data source.
    RecordSet& reminderSet(ReminderKind kind);
    DataSource& reminderSource(ReminderKind kind);

    // Stamps the last-change time of the row QJob is about to post.
    void QJobBeforePost(RecordSet& DataSet);

    // Re-opens QJob on the events of that periodicity, by date of execution.
    void showPeriod(const Period& period);
    // Re-opens QJob on what "Все мероприятия" lists: every event but birthdays and memorable dates.
    void showAllEvents();
    // The diary's identity (DiaryIdentity), read or made at the first call.
    const QString& diaryIdentity();

private:
    QString m_diaryIdentity;
};
