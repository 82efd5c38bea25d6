#include "reminders/ReminderChecks.h"

#include "diary/DiaryBackend.h"
#include "engine/ServerWait.h"
#include "reminders/AlarmScheduler.h"
#include "reminders/ReminderWindow.h"
#include "settings/ConfigFile.h"
#include "settings/ProgramSettings.h"
#include "platform/FreedesktopNotifications.h"
#include "support/DataModuleTest.h"
#include "support/FakeDesktopNotifications.h"
#include "support/FakeTray.h"
#include "support/FixedClock.h"
#include "support/NotificationServer.h"
#include "support/PrivateSessionBus.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/ServerDatabase.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <functional>

namespace {

using Answer = MessageBoxes::Answer;

// Records what the checks ask of the reminder window.
class FakeReminderWindow : public ReminderWindow
{
public:
    bool isOnScreen() const override { return onScreen; }
    std::optional<ReminderKind> shownKind() const override { return shown; }
    void showReminders(ReminderKind kind) override
    {
        onScreen = true;
        shown = kind;
        showCount++;
    }
    bool saveShownSet() override { return true; }
    void snoozeUntil(const QDateTime& until) override
    {
        onScreen = false;
        snoozed = until;
    }

    bool onScreen = false;
    std::optional<ReminderKind> shown;
    int showCount = 0;
    std::optional<QDateTime> snoozed;
};

class ReminderChecksTest : public DataModuleTest
{
protected:
    void SetUp() override { ScriptedMessageBoxes::instance().clear(); }

    ReminderChecks& checks()
    {
        if (!m_checks)
            m_checks = std::make_unique<ReminderChecks>(module(), window, tray, notifications, mainWindow, settings());
        return *m_checks;
    }

    qint64 add(const QString& job, const QString& period, bool done = false)
    {
        return diary.addRow({{QStringLiteral("job"), job},
                             {QStringLiteral("period"), period},
                             {QStringLiteral("date_isp"), QDate(2026, 3, 1)},
                             {QStringLiteral("vip"), done}});
    }

    ConfigFile settings() const { return ConfigFile(diary.location().configPath()); }

    // The diary folder names a new diary on the server (by the connection string, and more when given), which
    // holds one hourly event not yet done.
    void useServerDiary(ServerDatabase& server, const QString& more = {})
    {
        DiaryBackend::create(server.connectionString());
        QFile config(diary.folder() + QStringLiteral("/database.conf"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write((server.connectionString() + more).toUtf8());
        config.close();
        server.execute("insert into job (job, period, vip) values ('почасовое', 'ежечасное', false)");
    }

    static const QList<MessageBoxes::Message>& boxes() { return ScriptedMessageBoxes::instance().shown(); }

    FakeReminderWindow window;
    FakeTray tray;
    FakeDesktopNotifications notifications;
    QWidget mainWindow;

private:
    std::unique_ptr<ReminderChecks> m_checks;
};

} // namespace

TEST_F(ReminderChecksTest, TimersRunAtTheirBuiltInIntervalsUnlessConfigDatSaysOtherwise)
{
    {
        ReminderChecks builtIn(module(), window, tray, notifications, mainWindow, settings());
        EXPECT_EQ(builtIn.TimeHour->interval(), 600000);
        EXPECT_EQ(builtIn.TimeBirth->interval(), 7200000);
        EXPECT_EQ(builtIn.TimeMonth->interval(), 21600000);
        // The critical timer's built-in second would re-read its set every second: it runs once a minute.
        EXPECT_EQ(builtIn.TimeCritik->interval(), 600000);
        for (BootClockTimer* timer : builtIn.timers())
            EXPECT_TRUE(timer->isActive()) << timer->objectName().toStdString();
        // The check soon after start waits until start-up asks for it.
        EXPECT_FALSE(builtIn.TimeStart->isActive());
    }
    settings().write({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(checks().TimeHour->interval(), 60000);
    EXPECT_EQ(checks().TimeBirth->interval(), 6 * 60000);
    EXPECT_TRUE(checks().TimeHour->isActive());
    EXPECT_EQ(checks().TimeCritik->interval(), 5 * 60000);
    // 0 turns a check off.
    settings().write({1, 2, 3, 0, 0, 6});
    ReminderChecks off(module(), window, tray, notifications, mainWindow, settings());
    EXPECT_FALSE(off.TimeMonth->isActive());
    EXPECT_FALSE(off.TimeCritik->isActive());
}

// Each check runs its own set and shows it with its own texts.
TEST_F(ReminderChecksTest, EveryTimerRunsItsCheck)
{
    const struct
    {
        const char* period;
        void (ReminderChecks::*handler)();
        ReminderKind shown;
        const char* question;
    } cases[] = {
        {"ежечасное", &ReminderChecks::TimeHourTimer, ReminderKind::Hour,
         "Существуют ЕЖЕЧАСНЫЕ мероприятия. Показать?"},
        {"ежемесячное", &ReminderChecks::TimeMonthTimer, ReminderKind::Month,
         "Существуют ЕЖЕМЕСЯЧНЫЕ мероприятия. Показать?"},
        {"ежегодное", &ReminderChecks::TimeMonthTimer, ReminderKind::Month,
         "Существуют ЕЖЕМЕСЯЧНЫЕ мероприятия. Показать?"},
        {"критическое", &ReminderChecks::TimeCritikTimer, ReminderKind::Critical,
         "Существуют КРИТИЧЕСКИЕ мероприятия. Показать?"},
    };
    add(QStringLiteral("еженедельное"), QStringLiteral("еженедельное"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.period);
        const qint64 id = add(QStringLiteral("срочно"), QString::fromUtf8(c.period));
        window.onScreen = false;
        (checks().*c.handler)();
        EXPECT_EQ(window.shown, c.shown);
        // With the window on another set, the check asks with its own question.
        checks().TimeWeekTimer();
        ScriptedMessageBoxes::instance().clear();
        ScriptedMessageBoxes::instance().setNextAnswer(Answer::Cancel);
        (checks().*c.handler)();
        ASSERT_EQ(boxes().size(), 1);
        EXPECT_EQ(boxes()[0].text, QString::fromUtf8(c.question));
        ScriptedMessageBoxes::instance().clear();
        diary.setValue(id, QStringLiteral("vip"), true);
    }
}

TEST_F(ReminderChecksTest, AnEmptySetShowsNothingAndAsksNothing)
{
    add(QStringLiteral("сделано"), QStringLiteral("ежечасное"), true);
    checks().TimeHourTimer();
    checks().TimeBirthTimer(); // no birthday is due
    EXPECT_EQ(window.showCount, 0);
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(ReminderChecksTest, AClosedWindowShowsTheSetWithoutAQuestion)
{
    add(QStringLiteral("полить цветы"), QStringLiteral("ежедневное"));
    checks().TimeDayTimer();
    EXPECT_EQ(window.shown, ReminderKind::Day);
    EXPECT_TRUE(boxes().isEmpty());
    EXPECT_EQ(module().QJobDay.recordCount(), 1);
}

TEST_F(ReminderChecksTest, TheSameSetIsReReadAndAnotherIsAskedFor)
{
    add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    add(QStringLiteral("ежедневное"), QStringLiteral("ежедневное"));
    checks().TimeHourTimer();
    ASSERT_EQ(window.shown, ReminderKind::Hour);

    add(QStringLiteral("ещё почасовое"), QStringLiteral("ежечасное"));
    checks().TimeHourTimer();
    EXPECT_TRUE(boxes().isEmpty());
    EXPECT_EQ(window.showCount, 1);
    EXPECT_EQ(module().QJobHour.recordCount(), 2);

    ScriptedMessageBoxes::instance().setNextAnswer(Answer::Cancel);
    checks().TimeDayTimer();
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_EQ(boxes()[0].caption, QStringLiteral("Внимание!!!"));
    EXPECT_EQ(boxes()[0].text, QStringLiteral("Существуют ЕЖЕДНЕВНЫЕ мероприятия. Показать?"));
    EXPECT_EQ(boxes()[0].buttons, MessageBoxes::Buttons::OkCancel);
    EXPECT_EQ(boxes()[0].icon, MessageBoxes::Icon::None);
    EXPECT_EQ(window.shown, ReminderKind::Hour);

    ScriptedMessageBoxes::instance().setNextAnswer(Answer::Ok);
    checks().TimeDayTimer();
    EXPECT_EQ(window.shown, ReminderKind::Day);
}

TEST_F(ReminderChecksTest, AnOpenQuestionIsNotAskedAgainOnTopOfItself)
{
    add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    add(QStringLiteral("еженедельное"), QStringLiteral("еженедельное"));
    checks().TimeHourTimer();
    ScriptedMessageBoxes::instance().whileNextBoxIsOpen([this] { checks().TimeWeekTimer(); });
    checks().TimeWeekTimer();
    EXPECT_EQ(boxes().size(), 1);
    EXPECT_EQ(window.shown, ReminderKind::Week);
}

TEST(ReminderChecksNotifications, AShownReminderIsAlsoNotifiedOnlyWhileTheMainWindowIsHidden)
{
    // The notification names five events and counts the rest; where no service runs, the tray balloon counts them.
    struct Case
    {
        int events;
        bool serviceRuns;
        QString body;
        QStringList balloons;
    };
    const Case cases[] = {
        {1, true, QStringLiteral("дело 1"), {}},
        {5, true, QStringLiteral("дело 1\nдело 2\nдело 3\nдело 4\nдело 5"), {}},
        {7, true, QStringLiteral("дело 1\nдело 2\nдело 3\nдело 4\nдело 5\nи ещё 2"), {}},
        {2, false, {}, {QStringLiteral("Ежедневные: Напоминаний: 2")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.events);
        TempDiary diary;
        TDataModule1 module(diary.location().connectionString());
        FakeReminderWindow window;
        FakeTray tray;
        tray.add();
        FakeDesktopNotifications notifications(c.serviceRuns);
        QWidget mainWindow;
        ReminderChecks checks(module, window, tray, notifications, mainWindow,
                              ConfigFile(diary.location().configPath()));
        for (int i = 1; i <= c.events; ++i)
            diary.addRow({{QStringLiteral("job"), QStringLiteral("дело %1").arg(i)},
                          {QStringLiteral("period"), QStringLiteral("ежедневное")},
                          {QStringLiteral("vip"), false}});
        mainWindow.show();
        checks.TimeDayTimer();
        EXPECT_TRUE(notifications.onScreen().empty());
        EXPECT_TRUE(tray.notifications().isEmpty());

        window.onScreen = false;
        mainWindow.hide();
        checks.TimeDayTimer();
        EXPECT_EQ(tray.notifications(), c.balloons);
        const auto shown = notifications.onScreen().find(static_cast<int>(ReminderKind::Day));
        ASSERT_EQ(shown != notifications.onScreen().end(), c.serviceRuns);
        if (!c.serviceRuns)
            continue;
        EXPECT_EQ(shown->second.summary, QStringLiteral("Ежедневные"));
        EXPECT_EQ(shown->second.body, c.body);
        // The set's current record, which the reminder window shows, stays where it was.
        EXPECT_EQ(module.QJobDay.recNo(), 0);
    }
}

TEST_F(ReminderChecksTest, NotificationActionsOpenTheWindowOrPutTheReminderOffAgainstTheRealProtocol)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    NotificationServer server(bus.connect(QStringLiteral("service")));
    ASSERT_TRUE(server.isServing());
    FreedesktopNotifications desktop(bus.connect(QStringLiteral("program")));
    ReminderChecks checks(module(), window, tray, desktop, mainWindow, settings());
    const FixedClock clock(QDateTime(QDate(2026, 3, 11), QTime(14, 0)));
    ProgramSettings programSettings(diary.location().settingsPath());
    AlarmScheduler alarms(module(), programSettings);
    checks.attachAlarms(alarms);
    auto notified = [&](qsizetype count) {
        return QTest::qWaitFor([&] { return server.notified().size() >= count; }) && server.notified().size() == count;
    };
    add(QStringLiteral("полить цветы"), QStringLiteral("ежедневное"));
    add(QStringLiteral("проветрить"), QStringLiteral("ежечасное"));
    tray.add();
    mainWindow.hide();

    checks.TimeDayTimer();
    window.onScreen = false; // closed, so the next daily check shows it again
    checks.TimeDayTimer();
    checks.TimeHourTimer(); // asked over the daily set, and shown
    ASSERT_TRUE(notified(3));
    QList<NotificationServer::Call> dailyCalls;
    QList<NotificationServer::Call> hourlyCalls;
    for (const NotificationServer::Call& call : server.notified())
        (call.summary == QStringLiteral("Ежедневные") ? dailyCalls : hourlyCalls).append(call);
    ASSERT_EQ(dailyCalls.size(), 2);
    ASSERT_EQ(hourlyCalls.size(), 1);
    const uint daily = dailyCalls[0].id;
    const uint hourly = hourlyCalls[0].id;
    EXPECT_EQ(dailyCalls[0].body, QStringLiteral("полить цветы"));
    EXPECT_EQ(dailyCalls[0].actions, QStringList({QStringLiteral("default"), QStringLiteral("Открыть"),
                                                  QStringLiteral("snooze"), QStringLiteral("Отложить на 10 минут")}));
    EXPECT_EQ(dailyCalls[1].replacesId, daily); // one notification per set, replaced
    EXPECT_EQ(hourlyCalls[0].summary, QStringLiteral("Ежечасные"));
    EXPECT_EQ(hourlyCalls[0].replacesId, 0u);
    EXPECT_NE(hourly, daily);
    EXPECT_TRUE(tray.notifications().isEmpty());

    // The user closed the reminder window, then chooses "Открыть" on the daily notification.
    window.onScreen = false;
    server.choose(daily, QStringLiteral("default"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.shown == ReminderKind::Day; }));
    EXPECT_TRUE(window.onScreen);
    // "Отложить на 10 минут" on a set the window doesn't show puts it off by itself, on the one it shows through
    // the window, which saves and closes as its own button does.
    const QDateTime tenMinutesOn(QDate(2026, 3, 11), QTime(14, 10));
    server.choose(hourly, QStringLiteral("snooze"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return alarms.nextDue().has_value(); }));
    EXPECT_EQ(alarms.nextDue(), tenMinutesOn);
    EXPECT_EQ(window.shown, ReminderKind::Day);
    EXPECT_TRUE(window.onScreen);
    server.choose(daily, QStringLiteral("snooze"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.snoozed.has_value(); }));
    EXPECT_EQ(window.snoozed, tenMinutesOn);
    EXPECT_FALSE(window.onScreen);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.closed().isEmpty(); }));
    EXPECT_EQ(server.closed(), QList<uint>{hourly}); // the snoozed set's notification is taken back

    // Closing the reminder window takes back the notification of its set, the main window coming back the rest.
    checks.reminderWindowClosed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.closed().size() >= 2; }));
    EXPECT_EQ(server.closed(), QList<uint>({hourly, daily}));
    checks.TimeHourTimer();
    ASSERT_TRUE(notified(4));
    const uint hourlyAgain = server.notified().back().id;
    mainWindow.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.closed().size() >= 3; }));
    EXPECT_EQ(server.closed(), QList<uint>({hourly, daily, hourlyAgain}));
}

TEST_F(ReminderChecksTest, WithNoNotificationServiceOnTheBusTheTrayBalloonTellsInstead)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    FreedesktopNotifications desktop(bus.connect(QStringLiteral("program")));
    ReminderChecks checks(module(), window, tray, desktop, mainWindow, settings());
    add(QStringLiteral("полить цветы"), QStringLiteral("ежедневное"));
    tray.add();
    mainWindow.hide();
    checks.TimeDayTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tray.notifications().isEmpty(); }));
    EXPECT_EQ(tray.notifications(), QStringList{QStringLiteral("Ежедневные: Напоминаний: 1")});
}

TEST_F(ReminderChecksTest, AnEditNotYetPostedIsSavedBeforeTheSetIsReRead)
{
    const qint64 id = add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    checks().TimeHourTimer();
    RecordSet& hourly = module().QJobHour;
    hourly.edit();
    hourly.fieldByName(QStringLiteral("vip")).setAsBoolean(true);
    checks().TimeHourTimer();
    EXPECT_TRUE(diary.value(id, QStringLiteral("vip")).toBool());
    EXPECT_TRUE(hourly.isEmpty());
}

TEST_F(ReminderChecksTest, ARereadKeepsTheEventTheUserIsOn)
{
    const qint64 first = add(QStringLiteral("первое"), QStringLiteral("ежечасное"));
    add(QStringLiteral("второе"), QStringLiteral("ежечасное"));
    add(QStringLiteral("третье"), QStringLiteral("ежечасное"));
    checks().TimeHourTimer();
    RecordSet& hourly = module().QJobHour;
    hourly.moveBy(2);
    checks().TimeHourTimer();
    EXPECT_EQ(hourly.fieldByName(QStringLiteral("job")).asString(), QStringLiteral("третье"));
    // Done since, the first one leaves the list; the user stays on the same event, now one row up.
    diary.setValue(first, QStringLiteral("vip"), true);
    checks().TimeHourTimer();
    EXPECT_EQ(hourly.recNo(), 1);
    EXPECT_EQ(hourly.fieldByName(QStringLiteral("job")).asString(), QStringLiteral("третье"));
}

TEST_F(ReminderChecksTest, AFailedReopenIsShownAndTheTimerRunsOnAndARungAlarmComesBackShortly)
{
    const qint64 id = add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    const FixedClock clock(QDateTime(QDate(2026, 3, 11), QTime(14, 0)));
    ProgramSettings programSettings(diary.location().settingsPath());
    AlarmScheduler alarms(module(), programSettings);
    checks().attachAlarms(alarms);
    // Another program takes the table away: the query can't be run any more.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(diary.databasePath().toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "ALTER TABLE job RENAME TO old_job", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    checks().TimeHourTimer();
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_EQ(boxes()[0].icon, MessageBoxes::Icon::Error);
    EXPECT_TRUE(checks().TimeHour->isActive());
    EXPECT_EQ(window.showCount, 0);

    // The scheduler took the alarm as rung; the reminder that could not be shown is put off, not lost.
    checks().showAlarms({id});
    EXPECT_EQ(window.showCount, 0);
    EXPECT_EQ(alarms.nextDue(), QDateTime(QDate(2026, 3, 11), QTime(14, ReminderChecks::retryMinutes)));
    EXPECT_TRUE(programSettings.value(AlarmScheduler::snoozesKey).value_or(QString()).contains(QString::number(id)));
}

TEST_F(ReminderChecksTest, AServerDiaryOutOfReachIsCheckedAgainQuietlyAndShownOnceTheServerIsBack)
{
    // The diary reaches the server through a link to its socket in the diary folder, which the test takes away.
    ServerDatabase server;
    // Named after the port of the connection info, which the server's socket also answers to beside its own.
    const QString socket =
        QStringLiteral("/.s.PGSQL.") +
        QRegularExpression(QStringLiteral("\\bport=(\\d+)")).match(server.connectionInfo()).captured(1);
    const QString serverSocket =
        server.scalar("show unix_socket_directories").toString().section(u',', 0, 0).trimmed() + socket;
    const QString link = diary.folder() + socket;
    ASSERT_TRUE(QFile::link(serverSocket, link));
    useServerDiary(server, QStringLiteral(" host=") + diary.folder());
    checks();

    ASSERT_TRUE(QFile::remove(link));
    server.execute("select pg_terminate_backend(pid, 10000) from pg_stat_activity"
                   " where datname = ? and pid <> pg_backend_pid()",
                   {server.name()});
    checks().TimeHourTimer();
    EXPECT_TRUE(boxes().isEmpty());
    EXPECT_EQ(window.showCount, 0);
    EXPECT_TRUE(checks().TimeHour->isActive());

    ASSERT_TRUE(QFile::link(serverSocket, link));
    checks().TimeHourTimer();
    EXPECT_EQ(window.shown, ReminderKind::Hour);
    EXPECT_EQ(module().QJobHour.recordCount(), 1);
}

namespace {

// Records whether each wait for the server was quiet, and waits as the tools do.
class RecordingWait : public ServerWait
{
public:
    RecordingWait() : m_plain(ServerWait::current()), m_before(ServerWait::install(this)) {}
    ~RecordingWait() override { ServerWait::install(m_before); }
    std::unique_ptr<Operation> begin(bool quiet) override
    {
        quiet ? ++quietWaits : ++toldWaits;
        return m_plain.begin(quiet);
    }
    int quietWaits = 0;
    int toldWaits = 0;

private:
    ServerWait& m_plain;
    ServerWait* m_before;
};

} // namespace

// A server diary whose server process stopped answering: a check and the alarms' plan wait quietly, end within the
// checks' limit and show nothing; the next check, on a new connection, shows the set.
TEST_F(ReminderChecksTest, AServerThatDoesNotAnswerIsWaitedForQuietlyAndBrieflyByTheChecksAndTheAlarms)
{
    ServerDatabase server;
    useServerDiary(server);
    ProgramSettings programSettings(diary.location().settingsPath());
    AlarmScheduler alarms(module(), programSettings);
    const struct
    {
        const char* what;
        std::function<void()> run;
    } cases[] = {
        {"the hourly check", [&] { checks().TimeHourTimer(); }},
        {"the alarms' plan", [&] { alarms.replan(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Connected anew after the case before dropped its connection: the newest process is the program's.
        module().timedEvents();
        const int process = server.newestProgramProcess();
        ASSERT_GT(process, 0);
        RecordingWait waits;
        ASSERT_EQ(kill(process, SIGSTOP), 0);
        QElapsedTimer waited;
        waited.start();
        c.run();
        const qint64 elapsed = waited.elapsed();
        kill(process, SIGCONT);
        EXPECT_GE(elapsed, ReminderChecks::serverWaitLimit.count() - 50);
        EXPECT_LT(elapsed, ReminderChecks::serverWaitLimit.count() + 2000);
        EXPECT_GT(waits.quietWaits, 0);
        EXPECT_EQ(waits.toldWaits, 0);
        EXPECT_TRUE(boxes().isEmpty());
        EXPECT_EQ(window.showCount, 0);
    }
    checks().TimeHourTimer();
    EXPECT_EQ(window.shown, ReminderKind::Hour);
}

// A server diary whose set-up changed while the program runs is told by the check that meets it, in words, rather
// than taken for a server out of reach and passed over.
TEST_F(ReminderChecksTest, AServerDiarySetUpWrongIsToldByTheCheckThatMeetsIt)
{
    ServerDatabase server;
    useServerDiary(server);
    checks();

    server.execute("alter table job drop column napom");
    checks().TimeHourTimer();
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_EQ(boxes()[0].text, QStringLiteral("В таблице ежедневника «job» на сервере нет столбца «napom»."));
    EXPECT_EQ(window.showCount, 0);
}
