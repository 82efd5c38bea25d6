#include "DiaryFile.h"
#include "diary/Queries.h"
#include "engine/Snapshot.h"
#include "support/FixedClock.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

QStringList column(const Snapshot& snapshot, const char* name)
{
    QStringList values;
    const int c = snapshot.columnIndex(QLatin1String(name));
    for (int row = 0; row < snapshot.rowCount(); ++row)
        values << snapshot.value(row, c).toString();
    return values;
}

class ListQueries : public ::testing::Test
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

    DiaryFile diary;
    std::unique_ptr<Connection> connection;
};

} // namespace

TEST_F(ListQueries, AsCreatedWithANullPeriodReturnsNoRows)
{
    const auto snapshot = connection->select(engineText(Queries::jobListForPeriod()), {QVariant()});
    EXPECT_EQ(snapshot->rowCount(), 0);
    EXPECT_EQ(snapshot->columnCount(), 12);
}

TEST_F(ListQueries, ForPeriodListsThatPeriodByDateOfExecution)
{
    const auto snapshot = connection->select(engineText(Queries::jobListForPeriod()), {QStringLiteral("ежедневное")});
    EXPECT_EQ(column(*snapshot, "job"),
              (QStringList{QStringLiteral("daily early"), QStringLiteral("daily done"), QStringLiteral("daily late")}));
}

TEST_F(ListQueries, AllListsEveryRowButBirthdaysAndMemorableDates)
{
    const auto snapshot = connection->select(engineText(Queries::jobListAll()), {});
    QStringList jobs = column(*snapshot, "job");
    jobs.sort();
    EXPECT_EQ(jobs, (QStringList{"daily done", "daily early", "daily late", "hourly", "hourly done", "no period",
                                 "typed period", "weekly"}));
}

TEST_F(ListQueries, ReminderSetsListTheirPeriodNotYetDone)
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

// Periods typed by hand into the combo box may differ in case from the tree's: the queries compare texts as the
// dialect does, without regard to case, Cyrillic included.
TEST(TextComparison, PeriodsMatchWhateverTheirCaseInEveryQueryOfTheProgram)
{
    DiaryFile diary;
    diary.add({QStringLiteral("typed daily"), QStringLiteral("ЕжеДНЕВНОЕ"), QDate(2026, 3, 1), {}, false, {}});
    diary.add({QStringLiteral("typed hourly"), QStringLiteral("ЕЖЕЧАСНОЕ"), {}, {}, false, {}});
    diary.add({QStringLiteral("typed weekly"), QStringLiteral("Еженедельное"), {}, {}, false, {}});
    diary.add({QStringLiteral("typed birthday"),
               QStringLiteral("день рождения"),
               QDate(1980, 12, 9),
               QDate(2026, 12, 1),
               false,
               {}});
    diary.add({QStringLiteral("typed memorable"), QStringLiteral("ПАМЯТНАЯ ДАТА"), {}, {}, false, {}});
    diary.add({QStringLiteral("other"), QStringLiteral("ежедневно"), {}, {}, false, {}});
    const auto connection = diary.connect();
    FixedClock clock(QDateTime(QDate(2026, 12, 7), QTime(12, 0)));

    const auto jobs = [&](const QStringList& text, const QList<QVariant>& parameters = {}) {
        return column(*connection->select(engineText(text), parameters), "job");
    };
    EXPECT_EQ(jobs(Queries::jobListForPeriod(), {QStringLiteral("ежедневное")}), QStringList{"typed daily"});
    EXPECT_EQ(jobs(Queries::jobDay()), QStringList{"typed daily"});
    EXPECT_EQ(jobs(Queries::jobHour()), QStringList{"typed hourly"});
    EXPECT_EQ(jobs(Queries::jobWeek()), QStringList{"typed weekly"});
    EXPECT_EQ(jobs(Queries::birthdays()), QStringList{"typed birthday"});
    QStringList all = jobs({Queries::jobListAll()});
    all.sort();
    EXPECT_EQ(all, (QStringList{"other", "typed daily", "typed hourly", "typed weekly"}));

    // The comparison lives in the query texts, not in the file: a stock SQLite edits the diary as it is.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(diary.path().toUtf8().constData(), &db), SQLITE_OK);
    EXPECT_EQ(
        sqlite3_exec(db, "UPDATE job SET period = 'ежедневное' WHERE period = 'ежедневно'", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
}
