// What only a diary on a server has: its schema, the server's own refusals, several machines at once, moving a
// diary there and back, its identity, a server that goes away while the program runs, and its timestamps read.
#include "DiaryFile.h"
#include "databind/Field.h"
#include "databind/RecordSet.h"
#include "diary/DiaryBackend.h"
#include "diary/DiaryIdentity.h"
#include "diary/Queries.h"
#include "base/Error.h"
#include "engine/Backend.h"
#include "engine/Snapshot.h"
#include "engine/postgres/ServerSchema.h"
#include "support/ErrorOf.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cmath>
#include <iterator>
#include <limits>

namespace {

const QString rowNotLocated =
    QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read.");

// Every row of a diary file, each value as SQLite quotes it (a real to all its digits), in the order of the key.
QStringList fileRows(const DiaryFile& file)
{
    QStringList rows;
    const auto count = file.scalar("SELECT count(*) FROM job").toInt();
    for (int i = 0; i < count; ++i)
        rows << file.scalar("SELECT id_job || '|' || quote(job) || '|' || quote(date_zap) || '|' || quote(date_isp) "
                            "|| '|' || quote(time_isp) || '|' || quote(interval) || '|' || quote(other) || '|' || "
                            "quote(vip) || '|' || quote(period) || '|' || quote(napom) || '|' || quote(date_shed) || "
                            "'|' || quote(time_shed) FROM job ORDER BY id_job LIMIT 1 OFFSET ?",
                            {i})
                    .toString();
    return rows;
}

QVariant moment(int y, int mo, int d, int h, int mi, int s, int ms)
{
    return DateSerial::fromDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms)));
}

} // namespace

TEST(ServerDiary, IsMadeOfTypesOtherToolsReadAndOnlyOnce)
{
    ServerDatabase database;
    ServerSchema::createDiary(database.connectionInfo(), JobTable::schema());
    EXPECT_EQ(database.scalar("SELECT string_agg(column_name || ' ' || data_type, ', ' ORDER BY ordinal_position) "
                              "FROM information_schema.columns WHERE table_name = 'job'"),
              QStringLiteral("id_job integer, job character varying, date_zap timestamp without time zone, "
                             "date_isp timestamp without time zone, time_isp timestamp without time zone, "
                             "interval boolean, other text, vip boolean, period character varying, napom boolean, "
                             "date_shed timestamp without time zone, time_shed timestamp without time zone"));
    EXPECT_EQ(database.scalar("SELECT character_maximum_length FROM information_schema.columns "
                              "WHERE table_name = 'job' AND column_name = 'job'"),
              QStringLiteral("250"));
    EXPECT_EQ(errorOf([&] { ServerSchema::createDiary(database.connectionInfo(), JobTable::schema()); }),
              QStringLiteral("The database '%1' on the server already holds a table 'job'.").arg(database.name()));
}

TEST(ServerDiary, ADatabaseWithoutTheDiaryOrAServerNotThereIsRefusedWithTheReason)
{
    ServerDatabase empty;
    EXPECT_EQ(errorOf([&] { Connection(DiaryBackend::open(empty.connectionString()), JobTable::schema()); }),
              QStringLiteral("В базе данных «%1» на сервере нет таблицы ежедневника «job»: её делает chronoteka-newdb.")
                  .arg(empty.name()));

    const QTemporaryDir nothing;
    const QString unreachable =
        QStringLiteral("Provider=PostgreSQL;Data Source=host=%1 dbname=diary user=postgres").arg(nothing.path());
    try {
        Connection connection(DiaryBackend::open(unreachable), JobTable::schema());
        ADD_FAILURE() << "connected to a server that is not there";
    } catch (const ServerUnreachable& error) {
        EXPECT_TRUE(error.text().startsWith(
            QStringLiteral("connection to server on socket \"%1/.s.PGSQL.5432\" failed").arg(nothing.path())))
            << error.what();
    }
}

// Two machines read one row; the first posts, then the second: the second is refused and the first value stays.
TEST(ServerDiary, OfTwoMachinesPostingOneRowTheSecondIsRefused)
{
    const DiaryFile diary(DiaryKind::Server);
    const qint64 id = diary.add({QStringLiteral("общее"), QStringLiteral("ежедневное"), {2026, 4, 1}, {}, false, {}});
    const auto home = diary.connect();
    const auto work = diary.connect();
    const QString list = engineText(Queries::jobListForPeriod());
    const auto atHome = home->select(list, {QStringLiteral("ежедневное")});
    const auto atWork = work->select(list, {QStringLiteral("ежедневное")});
    const int job = atHome->columnIndex(QStringLiteral("job"));

    atHome->updateRow(0, {{job, QStringLiteral("из дома")}});
    EXPECT_EQ(errorOf([&] { atWork->updateRow(0, {{job, QStringLiteral("с работы")}}); }), rowNotLocated);
    EXPECT_EQ(diary.scalar("SELECT job FROM job WHERE id_job = ?", {id}), QStringLiteral("из дома"));
    atWork->reread();
    EXPECT_EQ(atWork->value(0, job), QStringLiteral("из дома"));
}

// A diary copied from a file to a server and back holds the same bytes; keys are kept and new rows follow them;
// a diary that has rows is never copied into.
TEST(ServerDiary, ACopyThereAndBackGivesTheSameRows)
{
    const DiaryFile file;
    file.execute("INSERT INTO job VALUES (3, 'Анна 🎂 «торт»', ?, ?, ?, 1, ?, 0, 'День рождения', 1, ?, ?)",
                 {moment(2026, 12, 7, 16, 21, 46, 123), moment(1980, 4, 20, 0, 0, 0, 0),
                  DateSerial::fromTime(QTime(10, 30)), QStringLiteral("строка\nдругая\t'кавычки'"),
                  moment(2026, 4, 10, 0, 0, 0, 0), DateSerial::fromTime(QTime(9, 5, 59, 999))});
    file.execute("INSERT INTO job (id_job, job, date_isp, vip, period) VALUES (7, ?, ?, 1, ?)",
                 {QString(250, u'ж'), moment(1899, 12, 29, 6, 0, 0, 0), QStringLiteral("ежечасное")});
    file.execute("INSERT INTO job (id_job, job, other) VALUES (12, '', '')");
    file.execute("INSERT INTO job (id_job) VALUES (20)");

    const DiaryFile server(DiaryKind::Server);
    server.connect()->appendTableRows(file.connect()->tableRows());
    const DiaryFile back;
    back.connect()->appendTableRows(server.connect()->tableRows());
    EXPECT_EQ(fileRows(back), fileRows(file));
    EXPECT_EQ(fileRows(back).size(), 4);
    EXPECT_EQ(server.scalar("SELECT to_char(date_zap, 'YYYY-MM-DD HH24:MI:SS.MS') FROM job WHERE id_job = 3"),
              QStringLiteral("2026-12-07 16:21:46.123"));

    const auto connection = server.connect();
    const auto list = connection->select(QStringLiteral("select * from job"), {});
    list->insertRow(0, {{list->columnIndex(QStringLiteral("job")), QStringLiteral("новое")}});
    EXPECT_EQ(list->rowId(0), 21);

    EXPECT_EQ(errorOf([&] { connection->appendTableRows(file.connect()->tableRows()); }),
              QStringLiteral("The diary copied into already holds events; a diary is copied only into an empty one."));
    EXPECT_EQ(server.scalar("SELECT count(*) FROM job"), QStringLiteral("5"));
}

// A diary made before identities has none until the first need; then every connection, now and later, finds the
// one made first. A value stored by two programs in turn is the first one's unless replaced.
TEST(ServerDiary, ADiaryMadeBeforeGetsItsIdentityAtFirstNeedAndKeepsIt)
{
    for (const DiaryKind kind : {DiaryKind::File, DiaryKind::Server}) {
        SCOPED_TRACE(kind);
        const DiaryFile diary(kind);
        const auto first = diary.connect();
        const auto second = diary.connect();
        EXPECT_EQ(first->backend().property(QStringLiteral("одно")), std::nullopt);

        const QString identity = DiaryIdentity::of(*first);
        EXPECT_EQ(QUuid(identity).version(), QUuid::Random) << identity.toStdString();
        EXPECT_EQ(DiaryIdentity::of(*second), identity);
        EXPECT_EQ(DiaryIdentity::of(*diary.connect()), identity);

        using Write = Backend::PropertyWrite;
        EXPECT_EQ(first->backend().storeProperty(QStringLiteral("одно"), QStringLiteral("первое"), Write::KeepStored),
                  QStringLiteral("первое"));
        EXPECT_EQ(second->backend().storeProperty(QStringLiteral("одно"), QStringLiteral("второе"), Write::KeepStored),
                  QStringLiteral("первое"));
        EXPECT_EQ(second->backend().storeProperty(QStringLiteral("одно"), QStringLiteral("третье"), Write::Replace),
                  QStringLiteral("третье"));
        EXPECT_EQ(first->backend().property(QStringLiteral("одно")), QStringLiteral("третье"));
        EXPECT_EQ(DiaryIdentity::of(*first), identity);
    }
}

// A role that may only read the events can't store an identity; it gets one derived from the server and database,
// the same on every connection, until the diary's own is there for it to read.
TEST(ServerDiary, ARoleThatMayOnlyReadTheEventsGetsAnIdentityThatStaysTheSame)
{
    const DiaryFile diary(DiaryKind::Server);
    const QString role = QStringLiteral("reader_%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    diary.execute(QStringLiteral("CREATE ROLE %1 LOGIN").arg(role).toUtf8().constData());
    diary.execute(QStringLiteral("GRANT SELECT ON job TO %1").arg(role).toUtf8().constData());
    struct RoleDrop
    {
        const DiaryFile& diary;
        const QString& role;
        ~RoleDrop() { diary.execute(QStringLiteral("DROP OWNED BY %1; DROP ROLE %1").arg(role).toUtf8().constData()); }
    } drop{diary, role};
    const auto asReader = [&] {
        return std::make_unique<Connection>(
            DiaryBackend::open(diary.connectionString() + QStringLiteral(" user=") + role), JobTable::schema());
    };

    // No table yet, and no right to make one.
    const QString derived = DiaryIdentity::of(*asReader());
    EXPECT_EQ(QUuid(derived).version(), QUuid::Sha1) << derived.toStdString();
    EXPECT_EQ(diary.scalar("SELECT to_regclass('chronoteka_property') IS NULL"), QStringLiteral("t"));

    // The table there, but no right to read or write it.
    const QString made = DiaryIdentity::of(*diary.connect());
    EXPECT_NE(made, derived);
    EXPECT_EQ(DiaryIdentity::of(*asReader()), derived);

    diary.execute(QStringLiteral("GRANT SELECT ON chronoteka_property TO %1").arg(role).toUtf8().constData());
    EXPECT_EQ(DiaryIdentity::of(*asReader()), made);
}

namespace {

// A server of the test's own, which it stops and starts while a connection to it is open.
class PausedServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(cluster("start"), 0);
        PGconn* admin = PQconnectdb(QStringLiteral("host=%1 user=postgres dbname=postgres").arg(m_folder).toUtf8());
        PQclear(PQexec(admin, "CREATE DATABASE diary TEMPLATE template0 ENCODING 'UTF8'"));
        PQfinish(admin);
        ServerSchema::createDiary(QStringLiteral("host=%1 user=postgres dbname=diary").arg(m_folder),
                                  JobTable::schema());
    }
    void TearDown() override { cluster("stop"); }

    int cluster(const char* action)
    {
        return QProcess::execute(QStringLiteral(SERVER_CLUSTER), {QString::fromLatin1(action), m_folder});
    }
    QString connectionString() const
    {
        return QStringLiteral("Provider=PostgreSQL;Data Source=host=%1 user=postgres dbname=diary").arg(m_folder);
    }

    QString m_folder = QStringLiteral("/tmp/chronoteka-paused-%1").arg(QCoreApplication::applicationPid());
};

} // namespace

// The server goes away under an open record set: the post fails with the reason and the edit stays; once the
// server is back the same post succeeds on a new connection, and a refresh reads on one by itself.
TEST_F(PausedServer, APostWhileTheServerIsAwayFailsKeepsTheEditAndTheNextSucceeds)
{
    Connection connection(DiaryBackend::open(connectionString()), JobTable::schema());
    RecordSet set(QStringLiteral("QJob"), connection);
    set.setSql({QStringLiteral("select * from job")});
    set.open();
    set.insert();
    set.fieldByName(QStringLiteral("job")).setValue(QStringLiteral("до остановки"));
    set.post();

    set.edit();
    set.fieldByName(QStringLiteral("job")).setValue(QStringLiteral("во время остановки"));
    ASSERT_EQ(cluster("pause"), 0);
    try {
        set.post();
        ADD_FAILURE() << "posted to a stopped server";
    } catch (const ServerUnreachable& error) {
        EXPECT_FALSE(error.text().isEmpty());
    }
    EXPECT_EQ(set.state(), RecordSet::State::Edit);
    EXPECT_EQ(set.fieldByName(QStringLiteral("job")).value(), QStringLiteral("во время остановки"));
    // No server, no post, however often it is tried; each try tells the reason once, as the first did.
    QStringList reasons;
    for (int attempt = 0; attempt < 3; ++attempt) {
        try {
            set.post();
            ADD_FAILURE() << "posted to a stopped server";
        } catch (const ServerUnreachable& error) {
            reasons << error.text();
        }
    }
    ASSERT_EQ(reasons.size(), 3);
    EXPECT_EQ(reasons[1], reasons[2]);
    EXPECT_EQ(reasons[2].count(QLatin1String("failed:")), 1) << reasons[2].toStdString();

    ASSERT_EQ(cluster("resume"), 0);
    set.post();
    EXPECT_EQ(set.state(), RecordSet::State::Browse);
    ASSERT_EQ(cluster("pause"), 0);
    ASSERT_EQ(cluster("resume"), 0);
    set.refresh();
    ASSERT_EQ(set.recordCount(), 1);
    EXPECT_EQ(set.fieldByName(QStringLiteral("job")).value(), QStringLiteral("во время остановки"));
}

// Timestamps as the server writes them are read as the serials of their dates and times: the calendar carried back
// before its introduction, leap days, the digits of a finer column rounded to the millisecond (up to the next day),
// and NaN for what has no date in the program.
TEST(ServerDiary, TimestampsAreReadAsTheSerialsOfTheirDatesAndTimes)
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        const char* stored;
        double serial;
    } cases[] = {
        {"2024-02-29 12:00", DateSerial::fromDateAndTime(QDate(2024, 2, 29), QTime(12, 0))},
        {"2000-02-29", DateSerial::fromDate(QDate(2000, 2, 29))},
        {"1900-03-01", 61.0},
        {"1899-12-29 06:00", -1.25},
        {"0001-01-01", DateSerial::fromDate(QDate(1, 1, 1))},
        {"20000-12-31 23:00", DateSerial::fromDateAndTime(QDate(20000, 12, 31), QTime(23, 0))},
        {"2026-12-07 16:21:46.1234", DateSerial::fromDateAndTime(QDate(2026, 12, 7), QTime(16, 21, 46, 123))},
        {"2026-12-07 16:21:46.1235", DateSerial::fromDateAndTime(QDate(2026, 12, 7), QTime(16, 21, 46, 124))},
        {"2023-02-28 23:59:59.9996", DateSerial::fromDate(QDate(2023, 3, 1))},
        {"1899-12-29 23:59:59.9996", DateSerial::fromDate(QDate(1899, 12, 30))},
        {"0001-12-31 BC", none},
        {"infinity", none},
        {"-infinity", none},
    };
    const DiaryFile server(DiaryKind::Server);
    server.execute("ALTER TABLE job ALTER COLUMN date_zap TYPE timestamp(6)");
    for (const auto& c : cases)
        server.execute("INSERT INTO job (date_zap) VALUES (?)", {QString::fromLatin1(c.stored)});
    const auto rows = server.connect()->select(QStringLiteral("select date_zap from job order by id_job"), {});
    ASSERT_EQ(rows->rowCount(), static_cast<int>(std::size(cases)));
    for (int row = 0; row < rows->rowCount(); ++row) {
        const auto& c = cases[row];
        const double read = rows->value(row, 0).toDouble();
        if (std::isnan(c.serial)) {
            EXPECT_TRUE(std::isnan(read)) << c.stored << " read as " << read;
        } else {
            EXPECT_EQ(read, c.serial) << c.stored;
        }
    }
}
