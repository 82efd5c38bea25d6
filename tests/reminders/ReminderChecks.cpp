#include "reminders/ReminderChecks.h"

#include "diary/DiaryBackend.h"
#include "reminders/ReminderWindow.h"
#include "settings/ConfigFile.h"
#include "support/DataModuleTest.h"
#include "support/FakeTray.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/ServerDatabase.h"

#include <QFile>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>
#include <sqlite3.h>

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

    bool onScreen = false;
    std::optional<ReminderKind> shown;
    int showCount = 0;
};

class ReminderChecksTest : public DataModuleTest
{
protected:
    void SetUp() override { ScriptedMessageBoxes::instance().clear(); }

    ReminderChecks& checks()
    {
        if (!m_checks)
            m_checks = std::make_unique<ReminderChecks>(module(), window, tray, mainWindow, settings());
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

    static const QList<MessageBoxes::Message>& boxes() { return ScriptedMessageBoxes::instance().shown(); }

    FakeReminderWindow window;
    FakeTray tray;
    QWidget mainWindow;

private:
    std::unique_ptr<ReminderChecks> m_checks;
};

} // namespace

TEST_F(ReminderChecksTest, TimersRunAtTheirBuiltInIntervalsUnlessConfigDatSaysOtherwise)
{
    {
        ReminderChecks builtIn(module(), window, tray, mainWindow, settings());
        EXPECT_EQ(builtIn.TimeHour->interval(), 600000);
        EXPECT_EQ(builtIn.TimeBirth->interval(), 7200000);
        EXPECT_EQ(builtIn.TimeMonth->interval(), 21600000);
        // The critical timer's built-in second would re-read its set every second: it runs once a minute.
        EXPECT_EQ(builtIn.TimeCritik->interval(), 60000);
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
    ReminderChecks off(module(), window, tray, mainWindow, settings());
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

TEST_F(ReminderChecksTest, AShownReminderIsAlsoNotifiedOnlyWhileTheMainWindowIsHidden)
{
    add(QStringLiteral("полить цветы"), QStringLiteral("ежедневное"));
    add(QStringLiteral("позвонить"), QStringLiteral("ежедневное"));
    tray.add();
    mainWindow.show();
    checks().TimeDayTimer();
    EXPECT_TRUE(tray.notifications().isEmpty());

    window.onScreen = false;
    mainWindow.hide();
    checks().TimeDayTimer();
    EXPECT_EQ(tray.notifications(), QStringList{QStringLiteral("Ежедневные: Напоминаний: 2")});
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

TEST_F(ReminderChecksTest, AFailedReopenIsShownAndTheTimerRunsOn)
{
    add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    checks();
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
}

TEST_F(ReminderChecksTest, AServerDiaryOutOfReachIsCheckedAgainQuietlyAndShownOnceTheServerIsBack)
{
    // The diary reaches the server through a link to its socket in the diary folder, which the test takes away.
    ServerDatabase server;
    const QString socket = QStringLiteral("/.s.PGSQL.") + server.scalar("show port").toString();
    const QString serverSocket =
        server.scalar("show unix_socket_directories").toString().section(u',', 0, 0).trimmed() + socket;
    const QString link = diary.folder() + socket;
    ASSERT_TRUE(QFile::link(serverSocket, link));
    DiaryBackend::create(server.connectionString());
    QFile config(diary.folder() + QStringLiteral("/database.conf"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write((server.connectionString() + QStringLiteral(" host=") + diary.folder()).toUtf8());
    config.close();
    server.execute("insert into job (job, period, vip) values ('почасовое', 'ежечасное', false)");
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
