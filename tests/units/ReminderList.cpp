#include "databind/controls/DataGrid.h"
#include "reminders/ReminderChecks.h"
#include "support/FixedClock.h"
#include "support/Program.h"
#include "support/ScriptedMessageBoxes.h"
#include "units/UnitShedul.h"

#include <QAbstractItemModel>

#include <gtest/gtest.h>

namespace {

QStringList listed(const TFormShedul& window)
{
    QStringList rows;
    const QAbstractItemModel* model = window.DBGrid2->model();
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->index(row, 0).data().toString();
    return rows;
}

} // namespace

// The list shows the name and the age the person turns this year for birthdays, the event's text otherwise.
TEST(ReminderList, BirthdaysAreListedWithTheAgeTheOtherSetsWithTheEvent)
{
    ScriptedMessageBoxes::instance().clear();
    const FixedClock clock(QDateTime(QDate(2026, 12, 7), QTime(12, 0)));
    TempDiary diary;
    diary.addRow({{QStringLiteral("job"), QStringLiteral("Петров П.П.")},
                  {QStringLiteral("period"), QStringLiteral("День рождения")},
                  {QStringLiteral("date_isp"), QDate(1980, 12, 10)},
                  {QStringLiteral("date_shed"), QDate(2026, 12, 1)},
                  {QStringLiteral("vip"), false}});
    diary.addRow({{QStringLiteral("job"), QStringLiteral("полить цветы")},
                  {QStringLiteral("period"), QStringLiteral("ежечасное")},
                  {QStringLiteral("date_isp"), QDate(2026, 12, 1)},
                  {QStringLiteral("vip"), false}});
    Program program(diary);
    program.showMainWindow();
    ReminderChecks& checks = program.singletons.reminders();
    TFormShedul& window = program.singletons.reminderWindow();

    const struct
    {
        void (ReminderChecks::*check)();
        QStringList rows;
    } modes[] = {
        {&ReminderChecks::TimeHourTimer, {QStringLiteral("полить цветы")}},
        {&ReminderChecks::TimeBirthTimer, {QStringLiteral("Петров П.П.  46")}},
        {&ReminderChecks::TimeHourTimer, {QStringLiteral("полить цветы")}},
        {&ReminderChecks::TimeBirthTimer, {QStringLiteral("Петров П.П.  46")}},
    };
    for (const auto& mode : modes) {
        (checks.*mode.check)();
        EXPECT_EQ(listed(window), mode.rows);
    }
}
