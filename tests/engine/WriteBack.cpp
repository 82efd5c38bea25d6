#include "DiaryFile.h"
#include "diary/Queries.h"
#include "base/Error.h"
#include "engine/Snapshot.h"
#include "support/ErrorOf.h"
#include "support/FixedClock.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

const QString rowNotLocated =
    QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read.");
const QString tooSmall = QStringLiteral("The field is too small to accept the amount of data you attempted to add.  "
                                        "Try inserting or pasting less data.");

class WriteBack : public ::testing::TestWithParam<DiaryKind>
{
protected:
    void SetUp() override
    {
        first = diary.add({QStringLiteral("первое"), QStringLiteral("ежедневное"), {2026, 4, 1}, {}, false, {}});
        second = diary.add({QStringLiteral("второе"), QStringLiteral("ежедневное"), {2026, 4, 2}, {}, false, {}});
        connection = diary.connect();
        list = connection->select(engineText(Queries::jobListForPeriod()), {QStringLiteral("ежедневное")});
    }

    int col(const char* name) const { return list->columnIndex(QLatin1String(name)); }
    QVariant stored(const char* column, qint64 id) const
    {
        return diary.scalar(QStringLiteral("SELECT %1 FROM job WHERE id_job = ?").arg(column).toUtf8().constData(),
                            {id});
    }

    DiaryFile diary{GetParam()};
    qint64 first = 0;
    qint64 second = 0;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Snapshot> list;
};

// What only a file has: a lock another process holds on the whole diary.
class FileWriteBack : public WriteBack
{
};

} // namespace

TEST_P(WriteBack, ColumnsCarryKindsSizesAndTheKeyIsReadOnly)
{
    const struct
    {
        const char* name;
        ColumnKind kind;
        int size;
        bool readOnly;
    } cases[] = {
        {"id_job", ColumnKind::AutoIncrement, 0, true}, {"job", ColumnKind::Text, 250, false},
        {"date_zap", ColumnKind::DateTime, 0, false},   {"time_isp", ColumnKind::DateTime, 0, false},
        {"interval", ColumnKind::Boolean, 0, false},    {"other", ColumnKind::Memo, 0, false},
        {"vip", ColumnKind::Boolean, 0, false},         {"period", ColumnKind::Text, 15, false},
    };
    for (const auto& c : cases) {
        const ColumnInfo& info = list->column(col(c.name));
        EXPECT_EQ(info.baseColumn, QLatin1String(c.name));
        EXPECT_EQ(info.kind, c.kind) << c.name;
        EXPECT_EQ(info.size, c.size) << c.name;
        EXPECT_EQ(info.readOnly, c.readOnly) << c.name;
    }
    EXPECT_EQ(list->value(0, col("id_job")), QVariant(first));
    EXPECT_EQ(list->value(0, col("vip")), QVariant(false));
    EXPECT_EQ(list->value(0, col("date_isp")), QVariant(46113.0));
    EXPECT_TRUE(list->value(0, col("other")).isNull());
    EXPECT_EQ(list->rowId(1), second);
    EXPECT_EQ(list->findRow(second), 1);
    EXPECT_EQ(list->findRow(999), -1);
}

TEST_P(WriteBack, UpdateWritesTheChangedColumnsAndReadsBackWhatWasStored)
{
    const double stamp = DateSerial::fromDateTime(QDateTime(QDate(2026, 4, 15), QTime(10, 30, 15)));
    list->updateRow(1, {{col("job"), QStringLiteral("второе, исправленное")},
                        {col("date_zap"), stamp},
                        {col("napom"), QVariant()},
                        {col("interval"), true}});
    EXPECT_EQ(stored("job", second), QStringLiteral("второе, исправленное"));
    EXPECT_EQ(list->value(1, col("job")), QStringLiteral("второе, исправленное"));
    EXPECT_EQ(list->value(1, col("date_zap")), QVariant(stamp));
    EXPECT_EQ(list->value(1, col("napom")), QVariant(false)) << "a null boolean is stored as false";
    EXPECT_EQ(stored("CASE WHEN napom THEN 1 ELSE 0 END", second), QStringLiteral("0"));
    EXPECT_EQ(stored("CASE WHEN \"interval\" THEN 1 ELSE 0 END", second), QStringLiteral("1"));
    EXPECT_EQ(stored("job", first), QStringLiteral("первое"));
}

TEST_P(WriteBack, InsertPlacesTheNewRowAndTakesItsKeyAndDefaults)
{
    list->insertRow(1, {{col("id_job"), QVariant()},
                        {col("job"), QStringLiteral("новое")},
                        {col("vip"), QVariant()},
                        {col("period"), QStringLiteral("ежедневное")}});
    ASSERT_EQ(list->rowCount(), 3);
    const qint64 id = list->value(1, col("id_job")).toLongLong();
    EXPECT_GT(id, second);
    EXPECT_EQ(list->rowId(1), id);
    EXPECT_EQ(list->value(1, col("vip")), QVariant(false));
    EXPECT_EQ(list->value(1, col("interval")), QVariant(false));
    EXPECT_TRUE(list->value(1, col("date_isp")).isNull());
    EXPECT_EQ(list->value(2, col("id_job")), QVariant(second));
    EXPECT_EQ(stored("job", id), QStringLiteral("новое"));

    list->insertRow(3, {});
    EXPECT_EQ(list->rowCount(), 4);
    EXPECT_GT(list->value(3, col("id_job")).toLongLong(), id);
}

TEST_P(WriteBack, DeleteRemovesExactlyItsRow)
{
    list->deleteRow(0);
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->value(0, col("id_job")), QVariant(second));
    EXPECT_TRUE(stored("job", first).isNull());
    EXPECT_EQ(stored("job", second), QStringLiteral("второе"));
}

TEST_P(WriteBack, TooLongTextsAndReadOnlyFieldsAreRefusedWithoutWriting)
{
    const struct
    {
        const char* column;
        QVariant value;
        QString error;
    } cases[] = {
        {"job", QString(251, u'ж'), tooSmall},
        {"period", QStringLiteral("ежеквартальное!!"), tooSmall},
        {"id_job", 77, QStringLiteral("Field 'id_job' is not updatable.")},
        {"date_isp", QStringLiteral("вчера"),
         QStringLiteral("Data type mismatch: 'вчера' can't be stored in the "
                        "field 'date_isp'.")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(errorOf([&] {
                      list->updateRow(0, {{col("other"), QStringLiteral("x")}, {col(c.column), c.value}});
                  }),
                  c.error)
            << c.column;
        EXPECT_EQ(errorOf([&] { list->insertRow(0, {{col(c.column), c.value}}); }), c.error) << c.column;
    }
    EXPECT_TRUE(stored("other", first).isNull());
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM job"), QStringLiteral("2"));
    list->updateRow(0, {{col("job"), QString(250, u'ж')}, {col("period"), QStringLiteral("ежеквартальное!")}});
    EXPECT_EQ(stored("length(job)", first), QStringLiteral("250"));
}

TEST_P(WriteBack, TheTableItselfRefusesTooLongTextsFromElsewhere)
{
    EXPECT_THROW(diary.execute("UPDATE job SET period = '1234567890123456'"), std::runtime_error);
    EXPECT_THROW(diary.execute("UPDATE job SET vip = NULL"), std::runtime_error);
}

TEST_P(WriteBack, AChangeMadeElsewhereSinceTheReadIsNeverOverwritten)
{
    diary.execute("UPDATE job SET job = 'чужое' WHERE id_job = ?", {first});
    EXPECT_EQ(errorOf([&] { list->updateRow(0, {{col("job"), QStringLiteral("моё")}}); }), rowNotLocated);
    EXPECT_EQ(stored("job", first), QStringLiteral("чужое"));
    EXPECT_EQ(list->value(0, col("job")), QStringLiteral("первое"));

    // A column nobody else touched can still be written, and the other change stays.
    list->updateRow(0, {{col("other"), QStringLiteral("заметка")}});
    EXPECT_EQ(stored("other", first), QStringLiteral("заметка"));
    EXPECT_EQ(stored("job", first), QStringLiteral("чужое"));
    EXPECT_EQ(list->value(0, col("job")), QStringLiteral("чужое")) << "the row holds what is stored after a write";
}

TEST_P(WriteBack, ARowDeletedElsewhereCanBeNeitherUpdatedNorDeleted)
{
    diary.execute("DELETE FROM job WHERE id_job = ?", {second});
    EXPECT_EQ(errorOf([&] { list->updateRow(1, {{col("other"), QStringLiteral("x")}}); }), rowNotLocated);
    EXPECT_EQ(errorOf([&] { list->deleteRow(1); }), rowNotLocated);
    EXPECT_EQ(list->rowCount(), 2);
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM job"), QStringLiteral("1"));
}

// A delete goes by what was read, as an update does: a row changed elsewhere since, in any column, even in the case
// of a letter only, is not deleted; the same row read again is.
TEST_P(WriteBack, ARowChangedElsewhereSinceTheReadIsNotDeleted)
{
    const char* const changes[] = {
        "UPDATE job SET job = 'Первое' WHERE id_job = ?",
        "UPDATE job SET vip = true WHERE id_job = ?",
        "UPDATE job SET date_shed = date_isp WHERE id_job = ?",
        "UPDATE job SET other = '' WHERE id_job = ?",
    };
    for (const char* change : changes) {
        SCOPED_TRACE(change);
        list->reread();
        diary.execute(change, {first});
        EXPECT_EQ(errorOf([&] { list->deleteRow(0); }), rowNotLocated);
        EXPECT_EQ(stored("id_job", first), QString::number(first)) << "the row stays";
        EXPECT_EQ(list->rowCount(), 2);
    }
    list->reread();
    list->deleteRow(0);
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM job"), QStringLiteral("1"));
}

// A birthday row is written back by its row identity, the key not being among its columns: of two rows alike but
// for the key only the one changed is written, time after time, and only the column changed, so the name keeps its
// text without the age.
TEST_P(WriteBack, ABirthdayRowIsWrittenBackByItsRowIdentityWithoutItsKey)
{
    const QString birthday = QStringLiteral("День рождения");
    const qint64 anna = diary.add({QStringLiteral("Анна"), birthday, {1980, 4, 20}, {2026, 4, 10}, false, {}});
    const qint64 twin = diary.add({QStringLiteral("Анна"), birthday, {1980, 4, 20}, {2026, 4, 10}, false, {}});
    const FixedClock clock(QDateTime(QDate(2026, 4, 15), QTime(12, 0)));
    const auto births = connection->select(engineText(Queries::birthdays()), {});
    ASSERT_EQ(births->rowCount(), 2);
    const int row = births->findRow(twin);
    ASSERT_GE(row, 0);

    const struct
    {
        const char* column;
        QString value;
        QString error;
    } cases[] = {
        {"other", QStringLiteral("купить цветы"), {}},
        {"other", QStringLiteral("позвонить"), {}},
        {"other", QStringLiteral("cake"), {}},
        {"other", QStringLiteral("gift"), {}},
        {"jobbirth", QStringLiteral("x"), QStringLiteral("Field 'jobbirth' is not updatable.")},
    };
    for (const auto& c : cases) {
        const auto update = [&] { births->updateRow(row, {{births->columnIndex(c.column), c.value}}); };
        EXPECT_EQ(errorOf(update), c.error) << c.column << " " << c.value.toStdString();
        if (c.error.isEmpty()) {
            EXPECT_EQ(stored(c.column, twin), c.value);
        }
    }
    EXPECT_EQ(stored("other", twin), QStringLiteral("gift"));
    EXPECT_EQ(stored("job", twin), QStringLiteral("Анна"));
    EXPECT_EQ(stored("vip", twin), stored("vip", anna));
    EXPECT_TRUE(stored("other", anna).isNull());
}

TEST_P(WriteBack, SelectsWithoutRowIdentityAreReadOnly)
{
    const auto counts = connection->select("select period, count(*) as n from job group by period", {});
    EXPECT_FALSE(counts->isUpdatable());
    EXPECT_TRUE(counts->column(0).readOnly);
    EXPECT_EQ(errorOf([&] {
                  counts->updateRow(0, {{0, QStringLiteral("x")}});
              }),
              QStringLiteral("Operation must use an updateable query."));
    EXPECT_EQ(errorOf([&] { counts->deleteRow(0); }), QStringLiteral("Operation must use an updateable query."));
}

TEST_P(WriteBack, RereadRunsTheSameSelectAgain)
{
    diary.add({QStringLiteral("третье"), QStringLiteral("ежедневное"), {2026, 3, 31}, {}, false, {}});
    diary.add({QStringLiteral("чужое"), QStringLiteral("ежечасное"), {2026, 3, 31}, {}, false, {}});
    diary.execute("DELETE FROM job WHERE id_job = ?", {second});
    EXPECT_EQ(list->rowCount(), 2);
    list->reread();
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->value(0, col("job")), QStringLiteral("третье"));
    EXPECT_EQ(list->value(1, col("job")), QStringLiteral("первое"));
}

TEST_P(WriteBack, TextsOfEveryScriptAndLengthComeBackAsStoredThroughReadsUpdatesAndInserts)
{
    const QString texts[] = {
        QStringLiteral(""),
        QStringLiteral("Ёлка, щётка и «кавычки»"),
        QStringLiteral("🎉🎂 праздник 👨‍👩‍👧"),
        QStringLiteral("Ünïcödé ∑ 𝄞 中文"),
        QString(250, QChar(u'ж')),
    };
    const QString note = QStringLiteral("Заметка 🎉 с переносом\nстрок ").repeated(400);
    const int count = static_cast<int>(std::size(texts));
    for (int i = 0; i < count; ++i)
        diary.add(
            {texts[i], QStringLiteral("ежедневное"), {2026, 5, i + 1}, {}, i % 2 == 0, i == 1 ? note : QString()});
    list->reread();
    ASSERT_EQ(list->rowCount(), count + 2);
    for (int i = 0; i < count; ++i) {
        const int row = i + 2;
        EXPECT_EQ(list->value(row, col("job")), QVariant(texts[i])) << i;
        EXPECT_FALSE(list->value(row, col("job")).isNull()) << "an empty text is no null";
        EXPECT_EQ(list->value(row, col("other")), i == 1 ? QVariant(note) : QVariant()) << i;
        EXPECT_EQ(list->value(row, col("vip")), QVariant(i % 2 == 0)) << i;
    }

    // Each row takes the next row's text, read back from the database.
    for (int i = 0; i < count; ++i)
        list->updateRow(i + 2, {{col("job"), texts[(i + 1) % count]}, {col("other"), texts[i]}});
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(list->value(i + 2, col("job")), QVariant(texts[(i + 1) % count])) << i;
        EXPECT_EQ(list->value(i + 2, col("other")), QVariant(texts[i])) << i;
        EXPECT_EQ(list->value(i + 2, col("period")), QVariant(QStringLiteral("ежедневное"))) << i;
    }

    list->insertRow(0, {{col("job"), texts[2]}, {col("other"), note}, {col("vip"), true}});
    EXPECT_EQ(list->value(0, col("job")), QVariant(texts[2]));
    EXPECT_EQ(list->value(0, col("other")), QVariant(note));
    EXPECT_EQ(list->value(0, col("vip")), QVariant(true));
    EXPECT_TRUE(list->value(0, col("period")).isNull());
    EXPECT_EQ(stored("job", list->rowId(0)), texts[2]);
}

TEST_P(FileWriteBack, AWriteWhileAnotherProcessHoldsTheLockFailsClearly)
{
    const auto impatient = diary.connect(0);
    const auto rows = impatient->select(engineText(Queries::jobListForPeriod()), {QStringLiteral("ежедневное")});
    sqlite3* holder = nullptr;
    sqlite3_open(diary.path().toUtf8().constData(), &holder);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(errorOf([&] {
                  rows->updateRow(0, {{col("other"), QStringLiteral("x")}});
              }),
              QStringLiteral("Could not update; currently locked by another session on this machine."));
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    rows->updateRow(0, {{col("other"), QStringLiteral("x")}});
    EXPECT_EQ(stored("other", first), QStringLiteral("x"));
}

INSTANTIATE_TEST_SUITE_P(Diaries, WriteBack, bothDiaryKinds(), diaryKindName);
INSTANTIATE_TEST_SUITE_P(Diaries, FileWriteBack, testing::Values(DiaryKind::File), diaryKindName);
