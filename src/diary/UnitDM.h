#pragma once

#include "databind/DataSource.h"
#include "databind/RecordSet.h"
#include "diary/Period.h"
#include "diary/ReminderKind.h"
#include "diary/TimedEvent.h"
#include "engine/Connection.h"

#include <functional>
#include <vector>

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
    RecordSet QAlarm;
    DataSource SQAlarm;

    // The set a reminder check re-reads and the reminder window shows, and its data source.
    RecordSet& reminderSet(ReminderKind kind);
    DataSource& reminderSource(ReminderKind kind);

    // The events QAlarm lists from its next open; setting them closes it.
    void setAlarmIds(const QList<qint64>& ids);
    const QList<qint64>& alarmIds() const { return m_alarmIds; }
    // Every event whose own alarm may be due, read afresh.
    std::vector<TimedEvent> timedEvents();
    // Called after any set of the module has written a row to the diary or deleted one; an empty hook, nothing.
    void setAfterWrite(std::function<void()> hook);
    // After events were written other than through the sets (an import): QJob is read again and the hook told.
    void eventsWrittenElsewhere();

    // Stamps the last-change time of the row QJob is about to post, and labels its step of the undo journal.
    void QJobBeforePost(RecordSet& DataSet);

    // "Правка" → "Отменить" / "Повторить": the edit under way saved first, the last change to the diary taken back
    // or done again (DiaryUndo), QJob read again and the after-write hook told, as after an import. False when
    // there was nothing to take back or do again.
    bool undoLast();
    bool redoNext();

    // Re-opens QJob on the events of that periodicity, by date of execution.
    void showPeriod(const Period& period);
    // Re-opens QJob on what "Все мероприятия" lists: every event but birthdays and memorable dates.
    void showAllEvents();
    // The connection string the diary was opened with, for a connection of another thread's own.
    const QString& connectionString() const { return m_connectionString; }
    // Re-opens QJob on the list the tree shows that event in, its row current: its periodicity's, or every event's
    // for a periodicity the tree has no node of its own for (returned as none). Throws when the event is gone.
    std::optional<Period> showEvent(qint64 id);
    // The diary's identity (DiaryIdentity), read or made at the first call.
    const QString& diaryIdentity();

private:
    static QString jobOf(const RecordSet& set);
    bool takeStep(bool undo);

    QString m_connectionString;
    QString m_diaryIdentity;
    std::function<void()> m_afterWrite;
    QList<qint64> m_alarmIds;
};
