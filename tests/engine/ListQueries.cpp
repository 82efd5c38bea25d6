#include "DiaryFile.h"
#include "diary/Queries.h"
#include "engine/Snapshot.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QStringList column(const Snapshot& snapshot, const char* name)
{
    QStringList values;
    const int c = snapshot.columnIndex(QLatin1String(name));
    for (int row = 0; row < snapshot.rowCount(); ++row)
        values << snapshot.value(row, c).toString();
    return values;
}

class ListQueries : public ::testing::TestWithParam<DiaryKind>
{
protected:
    void SetUp() override
    {
        const QString day = QStringLiteral("ежедневное");
        diary.add({QStringLiteral("daily late"), day, QDate(2026, 5, 2), {}, false, {}});
        diary.add({QStringLiteral("daily early"), day, QDate(2026, 3, 1), {}, false, {}});
        diary.add({QStringLiteral("daily done"), day, QDate(2026, 4, 1), {}, true, {}});
        diary.add({QStringLiteral("hourly"), QStringLiteral("ежечасное"), {}, {}, false, {}});
        diary.add({QStringLiteral("hourly done"), QStringLiteral("ежечасное"), QDate(2026, 1, 1), {}, true, {}});
        diary.add({QStringLiteral("weekly"), QStringLiteral("еженедельное"), {}, {}, false, {}});
        diary.add({QStringLiteral("birthday"), QStringLiteral("День рождения"), QDate(1980, 4, 20), {}, false, {}});
        diary.add({QStringLiteral("memorable"), QStringLiteral("Памятная дата"), {}, {}, false, {}});
        diary.add({QStringLiteral("typed period"), QStringLiteral("раз в сто лет"), {}, {}, false, {}});
        diary.add({QStringLiteral("no period"), QVariant(), {}, {}, false, {}});
        connection = diary.connect();
    }

    DiaryFile diary{GetParam()};
    std::unique_ptr<Connection> connection;
};

} // namespace

TEST_P(ListQueries, AsCreatedWithANullPeriodReturnsNoRows)
{
    const auto snapshot = connection->select(engineText(Queries::jobListForPeriod()), {QVariant()});
    EXPECT_EQ(snapshot->rowCount(), 0);
    EXPECT_EQ(snapshot->columnCount(), 12);
}

TEST_P(ListQueries, ForPeriodListsThatPeriodByDateOfExecution)
{
    const auto snapshot = connection->select(engineText(Queries::jobListForPeriod()), {QStringLiteral("ежедневное")});
    EXPECT_EQ(column(*snapshot, "job"),
              (QStringList{QStringLiteral("daily early"), QStringLiteral("daily done"), QStringLiteral("daily late")}));
}

// In the order of the key on both: an edited event keeps its place, though the server moves the row it rewrites.
TEST_P(ListQueries, AllListsEveryRowButBirthdaysAndMemorableDatesInTheOrderOfTheKey)
{
    diary.execute("UPDATE job SET other = 'edited' WHERE job = 'daily late'");
    const auto snapshot = connection->select(engineText(Queries::jobListAll()), {});
    EXPECT_EQ(column(*snapshot, "job"), (QStringList{"daily late", "daily early", "daily done", "hourly", "hourly done",
                                                     "weekly", "typed period", "no period"}));
}

TEST_P(ListQueries, ReminderSetsListTheirPeriodNotYetDone)
{
    const struct
    {
        QStringList text;
        QStringList jobs;
    } cases[] = {
        {Queries::jobHour(), {"hourly"}},
        {Queries::jobDay(), {"daily early", "daily late"}},
        {Queries::jobWeek(), {"weekly"}},
    };
    for (const auto& c : cases) {
        const auto snapshot = connection->select(engineText(c.text), {});
        QStringList jobs = column(*snapshot, "job");
        jobs.sort();
        EXPECT_EQ(jobs, c.jobs) << c.text.join(u' ').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Diaries, ListQueries, bothDiaryKinds(), diaryKindName);
