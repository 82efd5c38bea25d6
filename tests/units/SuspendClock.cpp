#include "platform/BootClockTimer.h"
#include "platform/ResumeWatch.h"
#include "reminders/ReminderChecks.h"
#include "settings/ProgramSettings.h"
#include "settings/TimerIntervals.h"
#include "support/FakeClocks.h"
#include "support/FixedClock.h"
#include "support/Program.h"
#include "support/ScriptedMessageBoxes.h"
#include "units/StartOptions.h"
#include "units/UnitShedul.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

constexpr qint64 minute = 60'000;

} // namespace

// A timer of 60 minutes, started, then some time awake and some asleep, then the resume.
TEST(BootClockTimer, AResumeRunsAnIntervalThatRanOutAsleepOnceAndKeepsWhatIsLeftOfOthers)
{
    const struct
    {
        const char* what;
        qint64 awake;
        qint64 asleep;
        int timeouts;
        qint64 remaining;
    } cases[] = {
        {"a short sleep keeps the rest", 10, 30, 0, 20},
        {"a sleep past the end runs once and starts afresh", 10, 50, 1, 60},
        {"ending exactly at the resume runs", 0, 60, 1, 60},
        {"a night's sleep runs once, not ten times", 5, 600, 1, 60},
        {"no sleep at all changes nothing", 20, 0, 0, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeClocks clocks;
        BootClockTimer timer(nullptr, clocks);
        QSignalSpy timeouts(&timer, &BootClockTimer::timeout);
        timer.start(60 * minute);
        clocks.awake(c.awake * minute);
        clocks.asleep(c.asleep * minute);
        timer.catchUp();
        EXPECT_EQ(timeouts.count(), c.timeouts);
        EXPECT_TRUE(timer.isActive());
        EXPECT_EQ(timer.interval(), 60 * minute);
        EXPECT_EQ(timer.remainingTime(), c.remaining * minute);
        // The Qt timer underneath now waits for what is left, not for the rest of the interval it started with
        // (give or take the 5% a coarse timer may be moved by).
        EXPECT_LE(timer.monotonicWait(), c.remaining * minute * 105 / 100);
        EXPECT_GT(timer.monotonicWait(), c.remaining * minute - minute);
    }
}

TEST(BootClockTimer, AStoppedTimerStaysStoppedAndAChangedIntervalStartsAFullOne)
{
    FakeClocks clocks;
    BootClockTimer timer(nullptr, clocks);
    QSignalSpy timeouts(&timer, &BootClockTimer::timeout);
    timer.setInterval(10 * minute);
    clocks.asleep(600 * minute);
    timer.catchUp();
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(timeouts.count(), 0);

    // Started now: nothing runs at the start, the first run is one whole interval away.
    timer.start();
    timer.catchUp();
    EXPECT_EQ(timeouts.count(), 0);
    EXPECT_EQ(timer.remainingTime(), 10 * minute);

    // The settings dialog: the same interval keeps the countdown, another one starts over.
    clocks.awake(8 * minute);
    TimerIntervals::apply(timer, 10);
    EXPECT_EQ(timer.remainingTime(), 2 * minute);
    TimerIntervals::apply(timer, 30);
    EXPECT_EQ(timer.remainingTime(), 30 * minute);
    clocks.asleep(25 * minute);
    timer.catchUp();
    EXPECT_EQ(timeouts.count(), 0);
    EXPECT_EQ(timer.remainingTime(), 5 * minute);
    TimerIntervals::apply(timer, 0);
    clocks.asleep(60 * minute);
    timer.catchUp();
    EXPECT_EQ(timeouts.count(), 0);
    EXPECT_FALSE(timer.isActive());
}

TEST(ResumeWatch, TheTickTellsASleepByTheBootClockRunningAheadAndLogindBySleepEndingFalse)
{
    FakeClocks clocks;
    ResumeWatch watch(clocks);
    QSignalSpy resumed(&watch, &ResumeWatch::resumed);
    watch.startTick();
    EXPECT_EQ(watch.source(), ResumeWatch::Source::Tick);

    const struct
    {
        qint64 awake;
        qint64 asleep;
        int resumes;
    } ticks[] = {
        {ResumeWatch::tickMilliseconds, 0, 0},
        {ResumeWatch::tickMilliseconds, ResumeWatch::sleepThresholdMilliseconds, 0}, // jitter, not a sleep
        {5000, 8 * 60 * minute, 1},
        {ResumeWatch::tickMilliseconds, 0, 1}, // the same sleep is not told twice
        {0, 3 * minute, 2},
    };
    for (const auto& t : ticks) {
        clocks.awake(t.awake);
        clocks.asleep(t.asleep);
        watch.compareClocks();
        EXPECT_EQ(resumed.count(), t.resumes) << t.awake << " awake, " << t.asleep << " asleep";
    }

    // logind's PrepareForSleep: true on the way down, false once awake.
    ASSERT_TRUE(QMetaObject::invokeMethod(&watch, "prepareForSleep", Q_ARG(bool, true)));
    EXPECT_EQ(resumed.count(), 2);
    ASSERT_TRUE(QMetaObject::invokeMethod(&watch, "prepareForSleep", Q_ARG(bool, false)));
    EXPECT_EQ(resumed.count(), 3);
}

namespace {

class SuspendedReminders : public ::testing::Test
{
protected:
    void SetUp() override { ScriptedMessageBoxes::instance().clear(); }

    void add(const QString& job, const QString& period, const QDate& date = {2026, 12, 1})
    {
        diary.addRow({{QStringLiteral("job"), job},
                      {QStringLiteral("period"), period},
                      {QStringLiteral("date_isp"), date},
                      {QStringLiteral("date_shed"), QDate(2026, 12, 1)},
                      {QStringLiteral("time_isp"), QTime(9, 30)},
                      {QStringLiteral("vip"), false}});
    }

    void start()
    {
        // The check soon after start would run at the first wake too: these tests are about the timers alone.
        ProgramSettings(diary.location().settingsPath()).storeFlag(StartOptions::checkAtStartKey, false);
        program = std::make_unique<Program>(diary, clocks);
        program->showMainWindow();
    }

    void sleepAndWake(qint64 minutes)
    {
        clocks.asleep(minutes * minute);
        emit program->singletons.resumeWatch().resumed();
    }

    QStringList questions() const { return ScriptedMessageBoxes::instance().shownTexts(); }

    FixedClock clock{QDateTime(QDate(2026, 12, 7), QTime(12, 0))};
    FakeClocks clocks;
    TempDiary diary;
    std::unique_ptr<Program> program;
};

} // namespace

TEST_F(SuspendedReminders, AResumedMachineGetsItsOverdueChecksAtOnceAndEachOnlyOnce)
{
    add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    add(QStringLiteral("ежедневное"), QStringLiteral("ежедневное"));
    add(QStringLiteral("еженедельное"), QStringLiteral("еженедельное"));
    add(QStringLiteral("Иванов"), QStringLiteral("День рождения"), QDate(1980, 12, 9));
    start();
    ReminderChecks& checks = program->singletons.reminders();
    const TFormShedul& window = program->singletons.reminderWindow();
    EXPECT_FALSE(window.isVisible()) << "no check at start-up";

    // The hourly check (every 10 minutes) ran out during an 11-minute sleep; the daily one has 49 minutes left.
    sleepAndWake(11);
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Ежечасные"));
    EXPECT_TRUE(questions().isEmpty());
    EXPECT_EQ(checks.TimeHour->remainingTime(), 10 * minute);
    EXPECT_EQ(checks.TimeDay->remainingTime(), 49 * minute);

    // A night: every check runs once; the hourly set is on the screen, so only the other three ask.
    sleepAndWake(9 * 60);
    EXPECT_EQ(questions(), (QStringList{QStringLiteral("Существуют ЕЖЕДНЕВНЫЕ мероприятия. Показать?"),
                                        QStringLiteral("Существуют ЕЖЕНЕДЕЛЬНЫЕ мероприятия. Показать?"),
                                        QStringLiteral("Показать дни рождения?")}));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("День рождения"));

    // Woken again a minute later: nothing is due, nothing is asked.
    sleepAndWake(1);
    EXPECT_EQ(questions().size(), 3);
    for (BootClockTimer* timer : {checks.TimeHour, checks.TimeDay, checks.TimeWeek, checks.TimeBirth})
        EXPECT_EQ(timer->remainingTime(), timer->interval() - minute) << timer->objectName().toStdString();
}
