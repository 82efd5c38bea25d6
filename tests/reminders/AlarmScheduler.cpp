#include "reminders/AlarmScheduler.h"

#include "diary/DiaryBackend.h"
#include "platform/ResumeWatch.h"
#include "reminders/ReminderChecks.h"
#include "settings/ProgramSettings.h"
#include "support/DataModuleTest.h"
#include "support/FakeClocks.h"
#include "support/QtPrinters.h"
#include "support/ServerDatabase.h"
#include "support/TcpProxy.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

namespace {

enum class Action {
    Plan,     // a write to the diary, or the timer
    Resume,   // the machine slept until now and woke
    Restart,  // the program ends at the last step's moment and starts again now, over the same settings file
    MarkDone, // the event is ticked done, then planned
    SnoozeDay // "Отложить" on the daily check until the step's moment, planned at the moment before
};

struct Step
{
    Action action;
    QTime time;
    int day = 12; // of March 2026, Moscow time
    int alarms = 0;
    int snoozes = 0;
};

struct Scenario
{
    const char* name;
    std::vector<Step> steps;
};

// A daily event with its timer at 9:30 is planned at each step's moment; each step says what rings then.
const Scenario scenarios[] = {
    {"RingsOnceAtItsMinute",
     {{Action::Plan, QTime(9, 0)},
      {Action::Plan, QTime(9, 29, 59)},
      {Action::Plan, QTime(9, 30), 12, 1},
      {Action::Plan, QTime(9, 30, 30)},
      {Action::Plan, QTime(23, 59)},
      {Action::Plan, QTime(9, 30), 13, 1}}},
    {"AClockSetBackDoesNotRingAgain",
     {{Action::Plan, QTime(9, 0)},
      {Action::Plan, QTime(9, 30), 12, 1},
      {Action::Plan, QTime(9, 0)},
      {Action::Plan, QTime(9, 30)},
      {Action::Plan, QTime(9, 30), 13, 1}}},
    {"AClockSetFarAheadAndPutRightRingsFromNowOn",
     {{Action::Plan, QTime(9, 0)},
      {Action::Plan, QTime(9, 30), 20, 1},
      {Action::Plan, QTime(9, 10)},
      {Action::Plan, QTime(9, 30), 12, 1}}},
    {"ASleepAcrossTheAlarmRingsOnceOnWaking",
     {{Action::Plan, QTime(9, 0)}, {Action::Resume, QTime(11, 0), 12, 1}, {Action::Plan, QTime(11, 1)}}},
    {"ARestartAfterRingingDoesNotRingAgain",
     {{Action::Plan, QTime(9, 0)}, {Action::Plan, QTime(9, 30), 12, 1}, {Action::Restart, QTime(9, 45)}}},
    {"WhatCameDueWhileTheProgramWasOffRingsOnceAtStart",
     {{Action::Plan, QTime(9, 0)},
      {Action::Restart, QTime(9, 40), 14, 1},
      {Action::Plan, QTime(9, 41), 14},
      {Action::Restart, QTime(9, 42), 14}}},
    {"AFirstStartRingsNothingOfThePast", {{Action::Restart, QTime(12, 0)}, {Action::Plan, QTime(9, 30), 13, 1}}},
    {"ADoneEventDoesNotRing", {{Action::Plan, QTime(9, 0)}, {Action::MarkDone, QTime(9, 30)}}},
    {"ASnoozeComesBackOnceAtItsTimeAcrossARestart",
     {{Action::Plan, QTime(8, 0)},
      {Action::SnoozeDay, QTime(9, 0)},
      {Action::Plan, QTime(8, 59, 59)},
      {Action::Restart, QTime(8, 59, 59)},
      {Action::Plan, QTime(9, 0), 12, 0, 1},
      {Action::Restart, QTime(9, 1)},
      {Action::Plan, QTime(9, 2)}}},
};

class AlarmSchedulerTest : public DataModuleTest, public ::testing::WithParamInterface<Scenario>
{
protected:
    void SetUp() override
    {
        m_oldZone = qgetenv("TZ");
        qputenv("TZ", "Europe/Moscow");
        tzset();
    }
    void TearDown() override
    {
        m_scheduler.reset();
        if (m_oldZone.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_oldZone);
        tzset();
    }

    AlarmScheduler& scheduler()
    {
        if (!m_scheduler)
            restart();
        return *m_scheduler;
    }

    // The program ends at the moment the clock shows.
    void end() { m_scheduler.reset(); }

    void restart()
    {
        m_scheduler.reset();
        settings = std::make_unique<ProgramSettings>(QDir(diary.folder()).filePath(QStringLiteral("chronoteka.conf")));
        settings->load();
        m_scheduler = std::make_unique<AlarmScheduler>(module(), *settings);
        QObject::connect(m_scheduler.get(), &AlarmScheduler::alarmsDue,
                         [this](const QList<qint64>& ids) { rung += ids.size(); });
        QObject::connect(m_scheduler.get(), &AlarmScheduler::snoozeDue, [this](ReminderKind kind) {
            EXPECT_EQ(kind, ReminderKind::Day);
            snoozed++;
        });
    }

    qint64 addDaily(QTime time)
    {
        return diary.addRow({{QStringLiteral("job"), QStringLiteral("зарядка")},
                             {QStringLiteral("period"), QStringLiteral("ежедневное")},
                             {QStringLiteral("napom"), true},
                             {QStringLiteral("time_shed"), time},
                             {QStringLiteral("vip"), false}});
    }

    std::unique_ptr<ProgramSettings> settings;
    int rung = 0;
    int snoozed = 0;

private:
    QByteArray m_oldZone;
    std::unique_ptr<AlarmScheduler> m_scheduler;
};

} // namespace

TEST_P(AlarmSchedulerTest, RingsWhatIsDueOnce)
{
    const qint64 id = addDaily(QTime(9, 30));
    FakeClocks clocks;
    ResumeWatch watch(clocks);
    watch.startTick();
    for (const Step& step : GetParam().steps) {
        const QDateTime moment(QDate(2026, 3, step.day), step.time);
        SCOPED_TRACE(moment.toString(Qt::ISODate).toStdString());
        rung = snoozed = 0;
        switch (step.action) {
        case Action::Resume: {
            QObject::connect(&watch, &ResumeWatch::resumed, &scheduler(), &AlarmScheduler::replan,
                             Qt::SingleShotConnection);
            clock.set(moment);
            clocks.asleep(2 * 3600 * 1000);
            watch.compareClocks();
            break;
        }
        case Action::Restart:
            end();
            clock.set(moment);
            restart();
            scheduler().replan();
            break;
        case Action::MarkDone:
            diary.setValue(id, QStringLiteral("vip"), true);
            clock.set(moment);
            scheduler().replan();
            break;
        case Action::SnoozeDay:
            scheduler().snooze(ReminderKind::Day, moment);
            break;
        case Action::Plan:
            clock.set(moment);
            scheduler().replan();
            break;
        }
        EXPECT_EQ(rung, step.alarms);
        EXPECT_EQ(snoozed, step.snoozes);
    }
}

INSTANTIATE_TEST_SUITE_P(Alarms, AlarmSchedulerTest, ::testing::ValuesIn(scenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AlarmSchedulerTest, TheTimerWaitsForTheNearestAlarmOrSnoozeInTheZoneOfTheDay)
{
    clock.set(QDateTime(QDate(2026, 3, 12), QTime(9, 0)));
    scheduler().replan();
    EXPECT_EQ(scheduler().timerWait(), -1);

    addDaily(QTime(9, 30));
    addDaily(QTime(9, 10));
    scheduler().replan();
    EXPECT_EQ(scheduler().nextDue(), QDateTime::fromString(QStringLiteral("2026-03-12T06:10:00Z"), Qt::ISODate));
    EXPECT_EQ(scheduler().timerWait(), 10 * 60 * 1000);
    scheduler().snooze(ReminderKind::Day, QDateTime(QDate(2026, 3, 12), QTime(9, 5)));
    EXPECT_EQ(scheduler().timerWait(), 5 * 60 * 1000);

    // The wall clock may drift from the timer's over a long wait: it plans again within the hour.
    clock.set(QDateTime(QDate(2026, 3, 12), QTime(23, 0)));
    scheduler().replan();
    EXPECT_EQ(scheduler().timerWait(), AlarmScheduler::longestWaitMilliseconds);

    // A new zone moves the moment, not the wall time.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    scheduler().replan();
    EXPECT_EQ(scheduler().nextDue(), QDateTime::fromString(QStringLiteral("2026-03-13T08:10:00Z"), Qt::ISODate));
}

// The moment kept is written at exit only when the next start would otherwise ring again what this run passed.
TEST_F(AlarmSchedulerTest, AnEventSavedAfterItsTimeDoesNotRingAtTheNextStartAndAQuietRunLeavesTheFileAlone)
{
    const auto contents = [this] {
        QFile file(settings->path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const auto at = [](QTime time) { return QDateTime(QDate(2026, 3, 12), time); };
    clock.set(at(QTime(9, 0)));
    scheduler().replan();
    end();
    const QByteArray first = contents();
    EXPECT_FALSE(first.isEmpty()); // a first run keeps its moment

    clock.set(at(QTime(9, 40)));
    restart();
    scheduler().replan();
    addDaily(QTime(9, 30)); // saved with its time gone
    scheduler().replan();
    clock.set(at(QTime(9, 45)));
    end();
    EXPECT_NE(contents(), first);

    clock.set(at(QTime(9, 50)));
    restart();
    scheduler().replan();
    EXPECT_EQ(rung, 0);
    const QByteArray quiet = contents();
    clock.set(at(QTime(9, 55)));
    end();
    EXPECT_EQ(contents(), quiet);
}

// A server diary away as the program starts: the first plan rings nothing, tries again soon and keeps the moment it
// last read up to, also across a restart; once the server is back, what came due while the program was closed rings,
// once.
TEST_F(AlarmSchedulerTest, AServerDiaryAwayAtStartRingsWhatCameDueOnceItIsBack)
{
    ServerDatabase server;
    DiaryBackend::create(server.connectionString());
    TcpProxy proxy(server.tcpPort());
    QFile config(diary.folder() + QStringLiteral("/database.conf"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(("Provider=PostgreSQL;Data Source=" + proxy.connectionInfo(server.tcpConnectionInfo())).toUtf8());
    config.close();
    server.execute(
        "insert into job (job, period, napom, time_shed, vip) values ('зарядка', 'ежедневное', true, ?, false)",
        {QDateTime(QDate(1899, 12, 30), QTime(9, 30))});
    const auto at = [](QTime time) { return QDateTime(QDate(2026, 3, 12), time); };

    clock.set(at(QTime(9, 0)));
    scheduler().replan();
    end();

    proxy.hang();
    for (QTime time : {QTime(9, 40), QTime(9, 41)}) {
        clock.set(at(time));
        restart();
        scheduler().replan();
        EXPECT_EQ(rung, 0);
        EXPECT_EQ(scheduler().timerWait(), ReminderChecks::retryMinutes * 60 * 1000);
    }

    proxy.forward();
    clock.set(at(QTime(9, 43)));
    scheduler().replan();
    EXPECT_EQ(rung, 1);
    EXPECT_EQ(scheduler().nextDue(), QDateTime(QDate(2026, 3, 13), QTime(9, 30)));
    scheduler().replan();
    restart();
    scheduler().replan();
    EXPECT_EQ(rung, 1);
}
