// A server diary set up wrong is refused with what is wrong, at open and by the first statement that meets a change
// made while the program runs; never taken for a server out of reach. The session keeps to the table's schema.
#include "DiaryFile.h"
#include "databind/RecordSet.h"
#include "diary/Queries.h"
#include "base/Error.h"
#include "engine/Snapshot.h"
#include "support/QtPrinters.h"

#include <QUuid>

#include <gtest/gtest.h>

#include <functional>

namespace {

// The error the call ends with, which must be the engine's and not a server out of reach.
QString setUpError(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ServerUnreachable& error) {
        ADD_FAILURE() << "taken for a server out of reach: " << error.what();
    } catch (const EngineError& error) {
        return error.text();
    }
    return {};
}

const char* const dropIndexes =
    "DO $$DECLARE i regclass; BEGIN FOR i IN SELECT indexrelid FROM pg_index WHERE indrelid = 'job'::regclass AND "
    "NOT indisprimary LOOP EXECUTE 'DROP INDEX ' || i; END LOOP; END$$; ";

} // namespace

TEST(ServerSetUp, AWrongSetUpIsToldAtOpenAndByTheStatementThatMeetsIt)
{
    const struct
    {
        const char* name;
        QString change;
        bool metWhileRunning; // a statement of the open list meets the change
        const char* error;
    } cases[] = {
        {"a column gone", "ALTER TABLE job DROP COLUMN napom", true,
         "В таблице ежедневника «job» на сервере нет столбца «napom»."},
        {"dates with a time zone", "ALTER TABLE job ALTER COLUMN date_isp TYPE timestamptz", true,
         "Столбец «date_isp» таблицы ежедневника «job» на сервере хранит время с часовым поясом (timestamp with time "
         "zone); ежедневнику нужно время без пояса, как его пишут часы компьютера: timestamp(3)."},
        {"a column of another type",
         QString::fromLatin1(dropIndexes) + "ALTER TABLE job ALTER COLUMN other TYPE integer USING 0", false,
         "Столбец «other» таблицы ежедневника «job» на сервере имеет тип integer, а ежедневнику нужен text."},
        {"no collation", QString::fromLatin1(dropIndexes) + "DROP COLLATION dialect_nocase", true,
         "В базе данных «%1» на сервере нет правила сравнения текстов «dialect_nocase», которое делает "
         "chronoteka-newdb."},
        {"a collation that tells capitals apart",
         QString::fromLatin1(dropIndexes) + "DROP COLLATION dialect_nocase; CREATE COLLATION dialect_nocase "
                                            "(provider = icu, locale = 'und-u-ks-level2', deterministic = true)",
         false,
         "Правило сравнения текстов «dialect_nocase» в базе данных «%1» на сервере различает заглавные и строчные "
         "буквы, а ежедневник сравнивает тексты без учёта регистра: правило делает chronoteka-newdb."},
        {"no table", "DROP TABLE job", true,
         "В базе данных «%1» на сервере нет таблицы ежедневника «job»: её делает chronoteka-newdb."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool whileRunning : {false, true}) {
            if (whileRunning && !c.metWhileRunning)
                continue;
            SCOPED_TRACE(whileRunning ? "while running" : "at open");
            const DiaryFile diary(DiaryKind::Server);
            diary.add({QStringLiteral("событие"), QStringLiteral("ежедневное"), {2026, 4, 1}, {}, false, {}});
            const QString database = diary.connectionString().section(QStringLiteral("dbname="), 1).section(u' ', 0, 0);
            const QString expected = QString::fromUtf8(c.error).replace(QStringLiteral("%1"), database);
            std::unique_ptr<Connection> connection;
            std::unique_ptr<RecordSet> list;
            if (whileRunning) {
                connection = diary.connect();
                list = std::make_unique<RecordSet>(QStringLiteral("QJob"), *connection);
                list->setSql(Queries::jobListForPeriod());
                list->setParameter(QStringLiteral("period"), QStringLiteral("ежедневное"));
                list->open();
            }
            diary.execute(c.change.toUtf8().constData());
            if (whileRunning)
                EXPECT_EQ(setUpError([&] { list->refresh(); }), expected);
            else
                EXPECT_EQ(setUpError([&] { diary.connect(); }), expected);
        }
    }
}

TEST(ServerSetUp, AUserWhoMayNotReadTheTableIsToldSo)
{
    const DiaryFile diary(DiaryKind::Server);
    const QString role = QStringLiteral("stranger_%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    diary.execute(QStringLiteral("CREATE ROLE %1 LOGIN").arg(role).toUtf8().constData());
    struct RoleDrop
    {
        const DiaryFile& diary;
        const QString& role;
        ~RoleDrop() { diary.execute(QStringLiteral("DROP OWNED BY %1; DROP ROLE %1").arg(role).toUtf8().constData()); }
    } drop{diary, role};
    const QString database = diary.connectionString().section(QStringLiteral("dbname="), 1).section(u' ', 0, 0);
    EXPECT_EQ(setUpError([&] { DiaryBackend::open(diary.connectionString() + QStringLiteral(" user=") + role); }),
              QStringLiteral("Пользователю «%1» не разрешено читать таблицу ежедневника «job» в базе данных «%2» на "
                             "сервере.")
                  .arg(role, database));
}

// A default search path that puts another schema's table of the same name first, coming into force on a new
// connection, does not change which table the program reads.
TEST(ServerSetUp, ANewConnectionKeepsToTheSchemaOfTheTableOpened)
{
    const DiaryFile diary(DiaryKind::Server);
    diary.add({QStringLiteral("своя"), QStringLiteral("ежедневное"), {}, {}, false, {}});
    const auto connection = diary.connect();
    const auto list = connection->select(QStringLiteral("select * from job"), {});
    const QString database = diary.connectionString().section(QStringLiteral("dbname="), 1).section(u' ', 0, 0);
    diary.execute(QStringLiteral("CREATE SCHEMA other; CREATE TABLE other.job (LIKE public.job INCLUDING ALL); "
                                 "INSERT INTO other.job (job) VALUES ('чужая'); "
                                 "ALTER DATABASE \"%1\" SET search_path = other, public; "
                                 "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '%1' AND "
                                 "pid <> pg_backend_pid()")
                      .arg(database)
                      .toUtf8()
                      .constData());
    list->reread();
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->value(0, list->columnIndex(QStringLiteral("job"))), QStringLiteral("своя"));
}

// A diary made before the insert tokens gets their table from the first user who may make it; a user who may add
// events but neither make nor use that table adds them as before.
TEST(ServerSetUp, AnOlderDiaryGetsItsTableOfInsertTokensFromAUserWhoMay)
{
    const DiaryFile diary(DiaryKind::Server);
    const QString role = QStringLiteral("writer_%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    diary.execute(QStringLiteral("DROP TABLE chronoteka_insert; CREATE ROLE %1 LOGIN; "
                                 "GRANT SELECT, INSERT ON job TO %1; REVOKE CREATE ON SCHEMA public FROM PUBLIC")
                      .arg(role)
                      .toUtf8()
                      .constData());
    struct RoleDrop
    {
        const DiaryFile& diary;
        const QString& role;
        ~RoleDrop() { diary.execute(QStringLiteral("DROP OWNED BY %1; DROP ROLE %1").arg(role).toUtf8().constData()); }
    } drop{diary, role};
    const auto insertAs = [&](const QString& user, const QString& job) {
        Connection connection(DiaryBackend::open(diary.connectionString() + QStringLiteral(" user=") + user),
                              JobTable::schema());
        const auto list = connection.select(QStringLiteral("select * from job"), {});
        list->insertRow(0, {{list->columnIndex(QStringLiteral("job")), job}});
    };
    const QString tokens = QStringLiteral("SELECT count(*) FROM chronoteka_insert");

    insertAs(role, QStringLiteral("без таблицы"));
    EXPECT_EQ(diary.scalar("SELECT to_regclass('chronoteka_insert') IS NULL"), QStringLiteral("t"));
    insertAs(QStringLiteral("postgres"), QStringLiteral("владельца"));
    EXPECT_EQ(diary.scalar(tokens.toUtf8().constData()), QStringLiteral("1"));
    insertAs(role, QStringLiteral("без права на таблицу"));
    EXPECT_EQ(diary.scalar(tokens.toUtf8().constData()), QStringLiteral("1"));
    EXPECT_EQ(diary.scalar("SELECT count(*) FROM job"), QStringLiteral("3"));
}
