#include "reminders/ReminderChecks.h"
#include "settings/ConfigFile.h"
#include "settings/ProgramSettings.h"
#include "support/FakeClocks.h"
#include "support/FixedClock.h"
#include "support/Program.h"
#include "support/ScriptedMessageBoxes.h"
#include "units/StartOptions.h"
#include "units/UnitShedul.h"

#include <QAction>

#include <gtest/gtest.h>

namespace {

constexpr qint64 second = 1000;

class StartUpCheck : public ::testing::Test
{
protected:
    void SetUp() override { ScriptedMessageBoxes::instance().clear(); }

    void add(const QString& job, const QString& period, const QDate& date = {2026, 12, 9})
    {
        diary.addRow({{QStringLiteral("job"), job},
                      {QStringLiteral("period"), period},
                      {QStringLiteral("date_isp"), date},
                      {QStringLiteral("date_shed"), QDate(2026, 12, 1)},
                      {QStringLiteral("vip"), false}});
    }

    void start() { program = std::make_unique<Program>(diary, clocks); }

    // Time passes awake; the timers are settled as a wake settles them, at once instead of waiting for Qt's.
    void awake(qint64 milliseconds)
    {
        clocks.awake(milliseconds);
        program->singletons.reminders().resumed();
    }

    const TFormShedul& window() { return program->singletons.reminderWindow(); }
    static QStringList questions() { return ScriptedMessageBoxes::instance().shownTexts(); }

    FixedClock clock{QDateTime(QDate(2026, 12, 7), QTime(12, 0))};
    FakeClocks clocks;
    TempDiary diary;
    std::unique_ptr<Program> program;
};

} // namespace

TEST_F(StartUpCheck, ADueSetIsShownAMinuteAfterStartOnceUnlessTurnedOff)
{
    add(QStringLiteral("полить цветы"), QStringLiteral("ежедневное"));
    const struct
    {
        const char* stored; // nullptr: never chosen
        bool checks;
    } cases[] = {{nullptr, true}, {"1", true}, {"0", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "absent");
        ProgramSettings(diary.location().settingsPath())
            .store(StartOptions::checkAtStartKey,
                   c.stored ? std::optional(QString::fromLatin1(c.stored)) : std::nullopt);
        start();
        EXPECT_EQ(program->singletons.startOptions().N11->isChecked(), c.checks);
        awake(59 * second);
        EXPECT_FALSE(window().isVisible());
        awake(2 * second);
        EXPECT_EQ(window().isVisible(), c.checks);
        if (c.checks) {
            EXPECT_EQ(window().windowTitle(), QStringLiteral("Ежедневные"));
        }
        // Once: closed again, the window stays closed until the daily check's own hour is up.
        program->singletons.reminderWindow().hide();
        awake(50 * 60 * second);
        EXPECT_FALSE(window().isVisible());
        EXPECT_FALSE(program->singletons.reminders().TimeStart->isActive());
        EXPECT_TRUE(questions().isEmpty());
        program.reset();
    }
}

TEST_F(StartUpCheck, TheMenuItemTurnsItOffFromTheNextStart)
{
    start();
    QAction* item = program->singletons.startOptions().N11;
    ASSERT_TRUE(item->isChecked());
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    ProgramSettings stored(diary.location().settingsPath());
    stored.load();
    EXPECT_EQ(stored.value(StartOptions::checkAtStartKey), QStringLiteral("0"));
    program.reset();
    start();
    EXPECT_FALSE(program->singletons.startOptions().N11->isChecked());
    EXPECT_FALSE(program->singletons.reminders().TimeStart->isActive());
}

// Every set is due at start: the first in the order of the settings file opens the window and each of the others
// asks once, in that order; a check turned off stays off.
TEST_F(StartUpCheck, SeveralSetsShowTheFirstAndAskForTheOthersOneAfterAnother)
{
    add(QStringLiteral("Иванов"), QStringLiteral("День рождения"));
    add(QStringLiteral("пожар"), QStringLiteral("критическое"));
    add(QStringLiteral("свадьба"), QStringLiteral("Памятная дата"));
    add(QStringLiteral("полить цветы"), QStringLiteral("ежедневное"));
    add(QStringLiteral("почасовое"), QStringLiteral("ежечасное"));
    // The hourly check turned off; the critical one every 5 minutes, so that its own timer doesn't run first.
    ConfigFile(diary.location().configPath()).write({0, 60, 180, 360, 5, 120});
    start();
    for (int i = 0; i < 3; ++i)
        ScriptedMessageBoxes::instance().setNextAnswer(MessageBoxes::Answer::Cancel);
    awake(61 * second);
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Ежедневные"));
    EXPECT_EQ(questions(), (QStringList{QStringLiteral("Существуют ЕЖЕМЕСЯЧНЫЕ мероприятия. Показать?"),
                                        QStringLiteral("Существуют КРИТИЧЕСКИЕ мероприятия. Показать?"),
                                        QStringLiteral("Показать дни рождения?")}));
}
