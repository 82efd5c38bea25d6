#include "DiaryFile.h"
#include "diary/Queries.h"
#include "engine/Snapshot.h"
#include "support/FixedClock.h"

#include <gtest/gtest.h>

// A window bound of 29 February counts as 28 February in a year without that day.
TEST(BirthdayLeapDay, ABoundOnTheTwentyNinthOfFebruaryIsTheTwentyEighthInOtherYears)
{
    const struct
    {
        QDate shed;
        QDate isp;
        QDate today;
        bool due;
    } cases[] = {
        // A window of exactly 29.02-29.02.
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
    };
    for (const auto& c : cases) {
        DiaryFile diary;
        diary.add({QStringLiteral("Анна"), QStringLiteral("День рождения"), c.isp, c.shed, false, {}});
        const FixedClock clock(QDateTime(c.today, QTime(9, 15)));
        const bool due = diary.connect()->select(engineText(Queries::birthdays()), {})->rowCount() == 1;
        EXPECT_EQ(due, c.due) << c.shed.toString(Qt::ISODate).toStdString() << " .. "
                              << c.isp.toString(Qt::ISODate).toStdString() << " on "
                              << c.today.toString(Qt::ISODate).toStdString();
    }
}
