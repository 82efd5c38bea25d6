// Searching the diary file: an index kept in step with writers that are not the program, a copied-in and a
// read-only diary, and a write lock held elsewhere.
#include "DiaryFile.h"
#include "engine/Backend.h"
#include "engine/SearchWords.h"
#include "engine/sqlite/SqliteBackend.h"
#include "engine/sqlite/SqliteFunctions.h"
#include "support/ErrorOf.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace {

using Keys = std::set<qint64>;

Keys search(Backend& backend, const QString& typed)
{
    const std::vector<qint64> found = backend.searchJobs(SearchWords::of(typed), 1000);
    return Keys(found.begin(), found.end());
}

Keys search(const Connection& connection, const QString& typed)
{
    return search(connection.backend(), typed);
}

// A statement run by the stock sqlite3 program, as a user editing the file by hand would.
void stockSqlite(const DiaryFile& diary, const QString& sql)
{
    QProcess process;
    process.start(QStringLiteral("sqlite3"),
                  {QStringLiteral("-cmd"), QStringLiteral(".timeout 5000"), diary.path(), sql});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

// A statement run as an older copy of the program runs it: on a connection whose triggers never fire.
void withoutTriggers(const DiaryFile& diary, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(diary.path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK);
}

// The diary opened as a file this process may only read, which the program's own open refuses.
std::shared_ptr<SqliteBackend> readOnly(const DiaryFile& diary)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(diary.path().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::shared_ptr<sqlite3> owned(db, sqlite3_close_v2);
    SqliteFunctions::install(db);
    return std::make_shared<SqliteBackend>(owned, diary.path());
}

struct Events
{
    qint64 gifts, gift, giftsMany, tree, birthday, meeting, operators, latin;
};

Events addEvents(const DiaryFile& diary)
{
    auto add = [&](const char* job, const char* other = nullptr) {
        return diary.add({QString::fromUtf8(job), {}, {}, {}, false, other ? QString::fromUtf8(other) : QString()});
    };
    Events e;
    e.gifts = add("Купить подарки");
    e.gift = add("Подарок маме", "не забыть открытку");
    e.giftsMany = add("Список", "Сколько подарков нужно?");
    e.tree = add("Нарядить Ёлку");
    e.birthday = add("ДР Ивана");
    e.meeting = add("Встреча", "обсудить бюджет на 2024 год");
    e.operators = add("NEAR AND OR NOT", "job: \"кавычки\" -минус ^крышка (скобки) *звезда");
    e.latin = add("Позвонить в Dentist-Clinic");
    return e;
}

} // namespace

// Each change is made after the index was first built, while the program's connection stays open.
TEST(FileSearch, TheIndexFollowsEveryWriter)
{
    const struct
    {
        const char* name;
        std::function<void(DiaryFile&, Connection&, const Events&)> change;
        const char* typed;
        std::function<Keys(const Events&)> expected;
    } cases[] = {
        {"a post through the program",
         [](DiaryFile&, Connection& c, const Events&) {
             const auto list = c.select(QStringLiteral("select * from job order by id_job"), {});
             list->updateRow(0, {{list->columnIndex(QStringLiteral("job")), QStringLiteral("Продать велосипед")}});
         },
         "велосип", [](const Events& e) { return Keys{e.gifts}; }},
        {"a post's old words gone",
         [](DiaryFile&, Connection& c, const Events&) {
             const auto list = c.select(QStringLiteral("select * from job order by id_job"), {});
             list->updateRow(0, {{list->columnIndex(QStringLiteral("job")), QStringLiteral("Продать велосипед")}});
         },
         "подарки ",
         [](const Events& e) {
             return Keys{e.gift, e.giftsMany};
         }},
        {"an event added through the program",
         [](DiaryFile&, Connection& c, const Events&) {
             const auto list = c.select(QStringLiteral("select * from job order by id_job"), {});
             list->insertRow(0, {{list->columnIndex(QStringLiteral("other")), QStringLiteral("новые подарки")}});
         },
         "подарки ",
         [](const Events& e) {
             return Keys{e.gifts, e.gift, e.giftsMany, e.latin + 1};
         }},
        {"a delete through the program",
         [](DiaryFile&, Connection& c, const Events&) {
             const auto list = c.select(QStringLiteral("select * from job order by id_job"), {});
             list->deleteRow(1);
         },
         "подарки ",
         [](const Events& e) {
             return Keys{e.gifts, e.giftsMany};
         }},
        {"an edit by a stock sqlite3",
         [](DiaryFile& d, Connection&, const Events& e) {
             stockSqlite(d, QStringLiteral("UPDATE job SET other = 'и подарки' WHERE id_job = %1").arg(e.tree));
         },
         "подарок ",
         [](const Events& e) {
             return Keys{e.gifts, e.gift, e.giftsMany, e.tree};
         }},
        {"a delete by a stock sqlite3",
         [](DiaryFile& d, Connection&, const Events& e) {
             stockSqlite(d, QStringLiteral("DELETE FROM job WHERE id_job = %1").arg(e.gift));
         },
         "подарок ",
         [](const Events& e) {
             return Keys{e.gifts, e.giftsMany};
         }},
        {"rows added by a writer without the triggers",
         [](DiaryFile& d, Connection&, const Events&) {
             withoutTriggers(d, "INSERT INTO job (job) VALUES ('Ещё подарки')");
         },
         "подарок ",
         [](const Events& e) {
             return Keys{e.gifts, e.gift, e.giftsMany, e.latin + 1};
         }},
        {"a delete by a writer without the triggers",
         [](DiaryFile& d, Connection&, const Events&) {
             withoutTriggers(d, "DELETE FROM job WHERE job = 'Купить подарки'");
         },
         "подарок ",
         [](const Events& e) {
             return Keys{e.gift, e.giftsMany};
         }},
        {"the triggers dropped, then an edit",
         [](DiaryFile& d, Connection&, const Events& e) {
             stockSqlite(d, QStringLiteral("DROP TRIGGER chronoteka_search_update; "
                                           "UPDATE job SET job = 'подарки' WHERE id_job = %1")
                                .arg(e.birthday));
         },
         "подарок ",
         [](const Events& e) {
             return Keys{e.gifts, e.gift, e.giftsMany, e.birthday};
         }},
        {"an edit by a writer without the triggers, stamped as every post stamps it",
         [](DiaryFile& d, Connection&, const Events& e) {
             withoutTriggers(d, QStringLiteral("UPDATE job SET job = 'подарки', date_zap = 99999 WHERE id_job = %1")
                                    .arg(e.birthday)
                                    .toUtf8()
                                    .constData());
         },
         "подарок ",
         [](const Events& e) {
             return Keys{e.gifts, e.gift, e.giftsMany, e.birthday};
         }},
        {"the diary emptied, then copied into again with its keys",
         [](DiaryFile& d, Connection& c, const Events& e) {
             std::vector<std::vector<QVariant>> rows = c.tableRows();
             for (std::vector<QVariant>& row : rows) {
                 if (row[static_cast<int>(JobTable::Column::IdJob)].toLongLong() == e.meeting)
                     row[static_cast<int>(JobTable::Column::Job)] = QStringLiteral("подарки к бюджету");
             }
             stockSqlite(d, QStringLiteral("DELETE FROM job"));
             ASSERT_EQ(search(c, QStringLiteral("бюджет ")), Keys{});
             c.appendTableRows(rows);
         },
         "подарок ",
         [](const Events& e) {
             return Keys{e.gifts, e.gift, e.giftsMany, e.meeting};
         }},
        {"the index's tables dropped",
         [](DiaryFile& d, Connection&, const Events&) {
             stockSqlite(d, QStringLiteral("DROP TABLE chronoteka_search_state"));
         },
         "подарок ",
         [](const Events& e) {
             return Keys{e.gifts, e.gift, e.giftsMany};
         }},
    };
    for (const auto& c : cases) {
        DiaryFile diary;
        const Events e = addEvents(diary);
        const auto connection = diary.connect();
        ASSERT_EQ(search(*connection, QStringLiteral("бюджет ")), Keys{e.meeting}) << c.name;
        c.change(diary, *connection, e);
        EXPECT_EQ(search(*connection, QString::fromUtf8(c.typed)), c.expected(e)) << c.name;
    }
}

TEST(FileSearch, ADiaryCopiedInWithoutTheIndexIsIndexedAtTheFirstSearch)
{
    DiaryFile original;
    const Events e = addEvents(original);
    DiaryFile diary;
    ASSERT_TRUE(QFile::remove(diary.path()));
    ASSERT_TRUE(QFile::copy(original.path(), diary.path()));

    const auto connection = diary.connect();
    EXPECT_EQ(search(*connection, QStringLiteral("подарок ")), (Keys{e.gifts, e.gift, e.giftsMany}));
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM chronoteka_search_content"), QStringLiteral("8"));
    // The triggers now record what a stock sqlite3 changes.
    stockSqlite(diary, QStringLiteral("UPDATE job SET job = 'x' WHERE id_job = %1").arg(e.gift));
    EXPECT_EQ(diary.scalar("SELECT group_concat(id_job) FROM chronoteka_search_changed"), QString::number(e.gift));
}

TEST(FileSearch, AReadOnlyDiaryIsSearchedWithoutWriting)
{
    const struct
    {
        const char* name;
        bool indexed;
        const char* change;
    } cases[] = {
        {"never indexed", false, nullptr},
        {"indexed, then changed", true,
         "UPDATE job SET other = 'подарки' WHERE job = 'Встреча'; "
         "DELETE FROM job WHERE job = 'Подарок маме'"},
        {"indexed, then added to without triggers", true, nullptr},
    };
    for (const auto& c : cases) {
        DiaryFile diary;
        const Events e = addEvents(diary);
        if (c.indexed)
            search(*diary.connect(), QStringLiteral("x"));
        if (c.change)
            stockSqlite(diary, QString::fromUtf8(c.change));
        Keys expected{e.gifts, e.giftsMany};
        if (c.change)
            expected.insert(e.meeting);
        else
            expected.insert(e.gift);
        if (c.indexed && !c.change) {
            withoutTriggers(diary, "INSERT INTO job (job) VALUES ('Ещё подарки')");
            expected.insert(e.latin + 1);
        }
        const QVariant schema = diary.scalar("SELECT group_concat(name) FROM sqlite_schema");
        const QVariant pending =
            c.indexed ? diary.scalar("SELECT count(*) FROM chronoteka_search_changed") : QVariant();

        const auto backend = readOnly(diary);
        EXPECT_EQ(search(*backend, QStringLiteral("подарок ")), expected) << c.name;
        EXPECT_EQ(search(*backend, QStringLiteral("пода")), expected) << c.name;
        EXPECT_EQ(diary.scalar("SELECT group_concat(name) FROM sqlite_schema"), schema) << c.name;
        if (c.indexed) {
            EXPECT_EQ(diary.scalar("SELECT count(*) FROM chronoteka_search_changed"), pending) << c.name;
        }
    }
}

TEST(FileSearch, AWriteLockHeldElsewhereIsNotWaitedFor)
{
    DiaryFile diary;
    const Events e = addEvents(diary);
    const auto connection = diary.connect(50);
    ASSERT_EQ(search(*connection, QStringLiteral("бюджет ")), Keys{e.meeting});
    stockSqlite(diary, QStringLiteral("UPDATE job SET other = 'подарки' WHERE id_job = %1").arg(e.meeting));

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open_v2(diary.path().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(errorOf([&] { connection->backend().prepareSearch([](qint64, qint64) { return true; }); }), QString());
    EXPECT_EQ(search(*connection, QStringLiteral("подарок ")), (Keys{e.gifts, e.gift, e.giftsMany, e.meeting}));
    EXPECT_EQ(search(*connection, QStringLiteral("бюджет ")), Keys{});
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM chronoteka_search_changed"), QStringLiteral("1"));
}

// A diary of more events than two steps take. The preparation is stopped after its first step; meanwhile the
// diary is changed by others; a later preparation takes up where it stopped, and the search then finds what the
// diary holds, prefixes too. Between steps the diary's write lock is free for another writer at once.
TEST(FileSearch, APreparationInStepsLetsOthersWriteAndIsTakenUpWhereItStopped)
{
    DiaryFile diary;
    diary.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 12000) "
                  "INSERT INTO job (job, other) SELECT 'событие ' || i, CASE WHEN i % 1000 = 0 THEN 'ремонт крыши' "
                  "ELSE 'заметка' END FROM n");
    const auto connection = diary.connect();
    Backend& backend = connection->backend();

    std::vector<std::pair<qint64, qint64>> told;
    QStringList lockedOut;
    backend.prepareSearch([&](qint64 done, qint64 total) {
        told.emplace_back(done, total);
        sqlite3* other = nullptr;
        sqlite3_open_v2(diary.path().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr);
        if (sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            lockedOut << QString::fromUtf8(sqlite3_errmsg(other));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        return told.size() < 2;
    });
    EXPECT_EQ(lockedOut, QStringList());
    ASSERT_EQ(told.size(), 2U);
    EXPECT_EQ(told[0], (std::pair<qint64, qint64>(0, 12000)));
    EXPECT_GT(told[1].first, 0);
    EXPECT_LT(told[1].first, 12000);

    stockSqlite(diary, QStringLiteral("UPDATE job SET other = 'ремонт окна' WHERE id_job = 2; "
                                      "DELETE FROM job WHERE id_job = 1000; "
                                      "UPDATE job SET other = 'ремонт двери' WHERE id_job = 11999"));
    withoutTriggers(diary, "INSERT INTO job (job, other) VALUES ('новое', 'ремонт')");

    told.clear();
    backend.prepareSearch([&](qint64 done, qint64 total) {
        told.emplace_back(done, total);
        return true;
    });
    ASSERT_GE(told.size(), 2U);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_EQ(told.back().first, told.back().second);
    const Keys repairs{2, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 11000, 11999, 12000, 12001};
    EXPECT_EQ(search(backend, QStringLiteral("ремонту ")), repairs);
    EXPECT_EQ(search(backend, QStringLiteral("ремо")), repairs);
    EXPECT_EQ(search(backend, QStringLiteral("двер")), Keys{11999});
    EXPECT_EQ(diary.scalar("SELECT building FROM chronoteka_search_state"), QStringLiteral("0"));
}
