#include "DiaryFile.h"
#include "diary/Queries.h"
#include "engine/Snapshot.h"
#include "support/FixedClock.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

const QString birthday = QStringLiteral("День рождения");

class BirthdayWindow : public ::testing::TestWithParam<DiaryKind>
{
protected:
    // Whether a birthday with this reminder window is due on the given day.
    bool dueOn(QDate shed, QDate isp, QDate today)
    {
        diary.execute("DELETE FROM job");
        diary.add({QStringLiteral("Анна"), birthday, isp, shed, false, {}});
        const FixedClock clock(QDateTime(today, QTime(9, 15)));
        return connection->select(engineText(Queries::birthdays()), {})->rowCount() == 1;
    }

    DiaryFile diary{GetParam()};
    std::unique_ptr<Connection> connection = diary.connect();
};

} // namespace

TEST_P(BirthdayWindow, DueWhenTodayLiesBetweenTheMonthAndDayOfItsEndsWrappingOverTheNewYear)
{
    const struct
    {
        QDate shed;
        QDate isp;
        QDate today;
        bool due;
    } cases[] = {
        // 10 March to 20 May: the whole span, not month and day apart.
        {{2026, 3, 10}, {1980, 5, 20}, {2026, 4, 15}, true},
        {{2026, 3, 10}, {1980, 5, 20}, {2026, 3, 15}, true},
        {{2026, 3, 10}, {1980, 5, 20}, {2026, 4, 5}, true},
        {{2026, 3, 10}, {1980, 5, 20}, {2026, 4, 25}, true},
        {{2026, 3, 10}, {1980, 5, 20}, {2026, 3, 10}, true},
        {{2026, 3, 10}, {1980, 5, 20}, {2026, 5, 20}, true},
        {{2026, 3, 10}, {1980, 5, 20}, {2026, 3, 9}, false},
        {{2026, 3, 10}, {1980, 5, 20}, {2026, 5, 21}, false},
        // Across a month's end with the start day after the end day.
        {{2026, 4, 25}, {1990, 5, 5}, {2026, 4, 30}, true},
        {{2026, 4, 25}, {1990, 5, 5}, {2026, 5, 1}, true},
        {{2026, 4, 25}, {1990, 5, 5}, {2026, 4, 24}, false},
        {{2026, 4, 25}, {1990, 5, 5}, {2026, 5, 6}, false},
        // Across the new year; the years of the ends play no part.
        {{2025, 12, 20}, {1975, 1, 10}, {2026, 12, 25}, true},
        {{2025, 12, 20}, {1975, 1, 10}, {2026, 1, 5}, true},
        {{2025, 12, 20}, {1975, 1, 10}, {2026, 12, 31}, true},
        {{2025, 12, 20}, {1975, 1, 10}, {2026, 1, 11}, false},
        {{2025, 12, 20}, {1975, 1, 10}, {2026, 12, 19}, false},
        {{2025, 12, 20}, {1975, 1, 10}, {2026, 6, 1}, false},
        // A window of one day.
        {{2026, 7, 7}, {2001, 7, 7}, {2026, 7, 7}, true},
        {{2026, 7, 7}, {2001, 7, 7}, {2026, 7, 6}, false},
        {{2026, 7, 7}, {2001, 7, 7}, {2026, 7, 8}, false},
        {{2026, 7, 7}, {2001, 7, 7}, {2026, 8, 7}, false},
        // A bound on 29 February counts as the 28th in a year without that day; a window of exactly 29.02-29.02.
        {{2024, 2, 29}, {2000, 2, 29}, {2027, 2, 28}, true},
        {{2024, 2, 29}, {2000, 2, 29}, {2027, 2, 27}, false},
        {{2024, 2, 29}, {2000, 2, 29}, {2027, 3, 1}, false},
        {{2024, 2, 29}, {2000, 2, 29}, {2028, 2, 29}, true},
        {{2024, 2, 29}, {2000, 2, 29}, {2028, 2, 28}, false},
        {{2024, 2, 29}, {2000, 2, 29}, {2028, 3, 1}, false},
        // Ending on 29.02.
        {{2026, 2, 20}, {1996, 2, 29}, {2027, 2, 28}, true},
        {{2026, 2, 20}, {1996, 2, 29}, {2027, 2, 19}, false},
        {{2026, 2, 20}, {1996, 2, 29}, {2027, 3, 1}, false},
        {{2026, 2, 20}, {1996, 2, 29}, {2028, 2, 29}, true},
        {{2026, 2, 20}, {1996, 2, 29}, {2028, 3, 1}, false},
        // Starting on 29.02: in 2027 from the 28th, in 2028 from the 29th.
        {{2024, 2, 29}, {1990, 3, 5}, {2027, 2, 28}, true},
        {{2024, 2, 29}, {1990, 3, 5}, {2027, 3, 5}, true},
        {{2024, 2, 29}, {1990, 3, 5}, {2027, 2, 27}, false},
        {{2024, 2, 29}, {1990, 3, 5}, {2028, 2, 28}, false},
        {{2024, 2, 29}, {1990, 3, 5}, {2028, 2, 29}, true},
        // A whole-century year has no 29 February unless it divides by 400.
        {{2024, 2, 29}, {2000, 2, 29}, {2100, 2, 28}, true},
        {{2024, 2, 29}, {2000, 2, 29}, {2000, 2, 28}, false},
        // The 28th itself is left alone in a leap year.
        {{2026, 2, 28}, {1999, 2, 28}, {2028, 2, 28}, true},
        {{2026, 2, 28}, {1999, 2, 28}, {2028, 2, 29}, false},
        // No window start: never due.
        {{}, {1980, 5, 20}, {2026, 5, 20}, false},
        {{2026, 5, 20}, {}, {2026, 5, 20}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dueOn(c.shed, c.isp, c.today), c.due)
            << c.shed.toString(Qt::ISODate).toStdString() << " .. " << c.isp.toString(Qt::ISODate).toStdString()
            << " on " << c.today.toString(Qt::ISODate).toStdString();
    }
}

TEST_P(BirthdayWindow, ListsBirthdaysOnlyDoneOrNot)
{
    diary.add({QStringLiteral("Анна"), birthday, {1980, 4, 20}, {2026, 4, 10}, false, QStringLiteral("торт")});
    diary.add({QStringLiteral("Борис"), birthday, {2000, 4, 16}, {2026, 4, 1}, true, {}});
    diary.add({QStringLiteral("Вера"), birthday, {}, {2026, 4, 1}, false, {}});
    diary.add(
        {QStringLiteral("не день рождения"), QStringLiteral("ежегодное"), {1980, 4, 20}, {2026, 4, 10}, false, {}});
    diary.add({QStringLiteral("памятная"), QStringLiteral("Памятная дата"), {1980, 4, 20}, {2026, 4, 10}, false, {}});
    const FixedClock clock(QDateTime(QDate(2026, 4, 15), QTime(23, 59)));
    const auto snapshot = connection->select(engineText(Queries::birthdays()), {});

    QStringList names;
    for (int c = 0; c < snapshot->columnCount(); ++c)
        names << snapshot->column(c).name;
    EXPECT_EQ(names,
              (QStringList{"job", "date_isp", "time_isp", "date_shed", "time_shed", "vip", "other", "jobbirth"}));

    QStringList rows;
    for (int row = 0; row < snapshot->rowCount(); ++row)
        rows << snapshot->value(row, 0).toString() + u'|' + snapshot->value(row, 5).toString();
    rows.sort();
    // Вера has no date of birth, so her window has no end and she is never due.
    EXPECT_EQ(rows, (QStringList{QStringLiteral("Анна|false"), QStringLiteral("Борис|true")}));

    const ColumnInfo& jobbirth = snapshot->column(7);
    EXPECT_TRUE(jobbirth.readOnly);
    EXPECT_TRUE(jobbirth.baseColumn.isEmpty());
    EXPECT_EQ(jobbirth.kind, ColumnKind::Text);
    EXPECT_FALSE(snapshot->column(6).readOnly);
    EXPECT_EQ(snapshot->column(6).kind, ColumnKind::Memo);
}

// jobbirth, what the reminder list shows: the name, two blanks and the age the person reaches this year, whether
// the birthday is still to come, today or past.
TEST_P(BirthdayWindow, TheNameCarriesTheAgeReachedThisYear)
{
    const struct
    {
        QDate born;
        QDate today;
        QString shown;
    } cases[] = {
        {{1980, 4, 20}, {2026, 4, 15}, QStringLiteral("Анна  46")},
        {{2000, 4, 16}, {2026, 4, 15}, QStringLiteral("Анна  26")},
        {{1980, 3, 12}, {2026, 3, 12}, QStringLiteral("Анна  46")},
        {{1980, 12, 10}, {2026, 12, 7}, QStringLiteral("Анна  46")},
        {{1980, 1, 5}, {2026, 4, 15}, QStringLiteral("Анна  46")},
        {{2000, 2, 29}, {2027, 2, 28}, QStringLiteral("Анна  27")},
        {{2026, 4, 16}, {2026, 4, 15}, QStringLiteral("Анна  0")},
    };
    for (const auto& c : cases) {
        diary.execute("DELETE FROM job");
        // The window opens today, so each birthday is due.
        diary.add({QStringLiteral("Анна"), birthday, c.born, c.today, false, {}});
        const FixedClock clock(QDateTime(c.today, QTime(9, 15)));
        const auto snapshot = connection->select(engineText(Queries::birthdays()), {});
        ASSERT_EQ(snapshot->rowCount(), 1) << c.born.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(snapshot->value(0, snapshot->columnIndex(QStringLiteral("jobbirth"))), c.shown)
            << c.born.toString(Qt::ISODate).toStdString() << " on " << c.today.toString(Qt::ISODate).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Diaries, BirthdayWindow, bothDiaryKinds(), diaryKindName);
