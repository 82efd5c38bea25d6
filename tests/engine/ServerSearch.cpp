// Finding events by their words in a diary on a server: a diary made before the search, and the index the server
// uses.
#include "DiaryFile.h"
#include "engine/Backend.h"
#include "engine/SearchWords.h"
#include "engine/postgres/ServerSearch.h"

#include <QUuid>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <map>

namespace {

// A diary on the server with a few events, searched by what the user types; the events found are named by their
// descriptions, in the order the search gives them.
class SearchedDiary
{
public:
    SearchedDiary()
    {
        for (const auto& [job, other] : std::initializer_list<std::pair<const char*, const char*>>{
                 {"Купить подарки", ""},
                 {"Список подарков", "к празднику"},
                 {"Подарок маме", ""},
                 {"Ёлка во дворе", "нарядить"},
                 {"Заказать ЕЛКУ", ""},
                 {"ДР Анны", ""},
                 {"Встреча в 10:30", "адрес на mail.ru, из-за погоды"},
             })
            m_names[m_diary.add({QString::fromUtf8(job), {}, {}, {}, false, QString::fromUtf8(other)})] =
                QString::fromUtf8(job);
    }

    const DiaryFile& diary() const { return m_diary; }

    QStringList found(const SearchWords& words, Backend& backend) const
    {
        QStringList names;
        for (const qint64 key : backend.searchJobs(words, 100))
            names << m_names.at(key);
        return names;
    }
    QStringList found(const QString& typed, Backend& backend) const { return found(SearchWords::of(typed), backend); }

private:
    DiaryFile m_diary{DiaryKind::Server};
    std::map<qint64, QString> m_names;
};

// A role of the test's own that may read the events, dropped with everything it made.
class Role
{
public:
    explicit Role(const DiaryFile& diary)
        : m_diary(diary), m_name(QStringLiteral("searcher_%1").arg(QUuid::createUuid().toString(QUuid::Id128)))
    {
        execute(QStringLiteral("CREATE ROLE %1 LOGIN; GRANT SELECT ON job TO %1"));
    }
    // What the role made goes with what depends on it: the configuration with the index on it.
    ~Role() { execute(QStringLiteral("DROP OWNED BY %1 CASCADE; DROP ROLE %1")); }

    void execute(const QString& sql) const { m_diary.execute(sql.arg(m_name).toUtf8().constData()); }
    std::unique_ptr<Connection> connect() const
    {
        return std::make_unique<Connection>(
            DiaryBackend::open(m_diary.connectionString() + QStringLiteral(" user=") + m_name), JobTable::schema());
    }

private:
    const DiaryFile& m_diary;
    QString m_name;
};

const QStringList gifts{QStringLiteral("Подарок маме"), QStringLiteral("Список подарков"),
                        QStringLiteral("Купить подарки")};
const QStringList firs{QStringLiteral("Заказать ЕЛКУ"), QStringLiteral("Ёлка во дворе")};

} // namespace

// A diary made before the search has neither our configuration nor the index. A role that may only read searches
// it with the server's Russian configuration, which drops its stop words; one that may create in the schema makes
// the configuration but can't index a table it does not own; the owner's first search makes the index.
TEST(ServerSearch, ADiaryMadeBeforeIsSearchedAndIndexedWhereTheRightsAllow)
{
    const SearchedDiary searched;
    const DiaryFile& diary = searched.diary();
    diary.execute("DROP INDEX job_search");
    diary.execute("DROP TEXT SEARCH CONFIGURATION chronoteka_russian");
    diary.execute("DROP TEXT SEARCH DICTIONARY chronoteka_russian_stem");
    const auto state = [&] {
        return diary
            .scalar("SELECT (to_regclass('job_search') IS NOT NULL)::text || ' ' || "
                    "EXISTS (SELECT 1 FROM pg_ts_config WHERE cfgname = 'chronoteka_russian')::text")
            .toString();
    };

    const Role role(diary);
    EXPECT_EQ(searched.found(QStringLiteral("подарки ёлк"), role.connect()->backend()), QStringList());
    EXPECT_EQ(searched.found(QStringLiteral("Подарков"), role.connect()->backend()), gifts);
    EXPECT_EQ(searched.found(QStringLiteral("в ёлка"), role.connect()->backend()), firs) << "«в» is a stop word";
    EXPECT_EQ(state(), QStringLiteral("false false"));

    role.execute(QStringLiteral("GRANT CREATE ON SCHEMA public TO %1"));
    EXPECT_EQ(searched.found(QStringLiteral("в ёлка"), role.connect()->backend()), QStringList());
    EXPECT_EQ(searched.found(QStringLiteral("во ёлка"), role.connect()->backend()),
              QStringList{QStringLiteral("Ёлка во дворе")});
    EXPECT_EQ(state(), QStringLiteral("false true"));

    EXPECT_EQ(searched.found(QStringLiteral("подарки"), diary.connect()->backend()), gifts);
    EXPECT_EQ(state(), QStringLiteral("true true"));
    EXPECT_EQ(searched.found(QStringLiteral("в 10"), role.connect()->backend()),
              QStringList{QStringLiteral("Встреча в 10:30")});
}

// The search of a diary made by the program reads the index, not every event.
TEST(ServerSearch, UsesTheIndex)
{
    const DiaryFile diary(DiaryKind::Server);
    diary.execute("INSERT INTO job (job, other) SELECT 'Событие номер ' || n, 'Заметка ' || n "
                  "FROM generate_series(1, 20000) AS n");
    diary.execute("ANALYZE job");
    const QByteArray plan = "EXPLAIN " + ServerSearch::statement(QStringLiteral("job"), QStringLiteral("id_job"),
                                                                 QLatin1String(ServerSearch::configuration));
    PGconn* connection = PQconnectdb(Connection::dataSource(diary.connectionString()).toUtf8().constData());
    const char* values[] = {"10", "'событ' & '1234'"};
    PGresult* result = PQexecParams(connection, plan.constData(), 2, nullptr, values, nullptr, nullptr, 0);
    QString text;
    for (int row = 0; row < PQntuples(result); ++row)
        text += QString::fromUtf8(PQgetvalue(result, row, 0)) + u'\n';
    const QString error = QString::fromUtf8(PQresultErrorMessage(result));
    PQclear(result);
    PQfinish(connection);
    EXPECT_EQ(error, QString());
    EXPECT_TRUE(text.contains(QStringLiteral("Bitmap Index Scan on job_search"))) << text.toStdString();
    EXPECT_EQ(diary.connect()->backend().searchJobs(SearchWords::of(QStringLiteral("событий 1234 ")), 10),
              std::vector<qint64>{1234});
}
