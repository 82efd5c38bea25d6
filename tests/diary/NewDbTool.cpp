#include "diary/DiaryBackend.h"
#include "diary/DiaryIdentity.h"
#include "diary/DiaryLocation.h"
#include "diary/JobTable.h"
#include "diary/UnitDM.h"
#include "base/Error.h"
#include "engine/Connection.h"
#include "support/ErrorOf.h"
#include "support/QtPrinters.h"
#include "support/ServerDatabase.h"
#include "support/TempDiary.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Rows = std::vector<std::vector<QVariant>>;

// Every row of a diary as a select reads it, in id order.
Rows rowsOf(const QString& connectionString)
{
    Connection connection(DiaryBackend::open(connectionString), JobTable::schema());
    const auto snapshot = connection.select(QStringLiteral("select * from job order by id_job"), {});
    Rows rows(static_cast<std::size_t>(snapshot->rowCount()));
    for (int row = 0; row < snapshot->rowCount(); ++row)
        for (int column = 0; column < snapshot->columnCount(); ++column)
            rows[static_cast<std::size_t>(row)].push_back(snapshot->value(row, column));
    return rows;
}

QString identityOf(const QString& connectionString)
{
    Connection connection(DiaryBackend::open(connectionString), JobTable::schema());
    return DiaryIdentity::of(connection);
}

// Whether the diary holds an identity, read without making one.
bool holdsIdentity(const QString& connectionString)
{
    Connection connection(DiaryBackend::open(connectionString), JobTable::schema());
    try {
        return connection.select(QStringLiteral("select * from chronoteka_property"), {})->rowCount() == 1;
    } catch (const EngineError&) {
        return false; // no table
    }
}

// chronoteka-newdb run with arguments: what it should end with and print.
struct ToolRun
{
    QStringList arguments;
    int exitCode;
    QString out;
    QString error; // its beginning
};

// A diary (db1.mdb, the folder the tool runs in) with a row of every kind of value, one of nulls, and a gap in the ids
// where a row was deleted, so that a copy equal to it has kept the ids.
class NewDbTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        diary.addRow({{"job", QStringLiteral("День рождения Тани")},
                      {"date_isp", QDate(1990, 2, 28)},
                      {"time_isp", QTime(9, 30)},
                      {"other", QStringLiteral("торт\nи цветы")},
                      {"vip", false},
                      {"napom", true}});
        const qint64 deleted = diary.addRow({});
        diary.addRow({});
        Connection(DiaryBackend::open(diary.connectionString()), JobTable::schema())
            .select(QStringLiteral("select * from job where id_job = ?"), {deleted})
            ->deleteRow(0);
        before = rowsOfFile(QStringLiteral("db1.mdb"));
    }

    QString path(const QString& name) const { return QDir(diary.folder()).filePath(name); }
    // The connection string of a diary file in the diary folder.
    QString file(const QString& name) const { return JobTable::connectionString(path(name)); }
    Rows rowsOfFile(const QString& name) const { return rowsOf(file(name)); }

    void expectRuns(std::initializer_list<ToolRun> runs) const
    {
        for (const ToolRun& run : runs) {
            QProcess tool;
            tool.setWorkingDirectory(diary.folder());
            tool.setProcessEnvironment(environment());
            tool.start(QStringLiteral(NEWDB), run.arguments);
            ASSERT_TRUE(tool.waitForFinished(30000));
            const std::string arguments = run.arguments.join(u' ').toStdString();
            EXPECT_EQ(tool.exitCode(), run.exitCode) << arguments;
            EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput()), run.out) << arguments;
            const QString error = QString::fromUtf8(tool.readAllStandardError());
            EXPECT_EQ(error.left(run.error.size()), run.error) << arguments;
            EXPECT_EQ(error.isEmpty(), run.error.isEmpty()) << arguments << error.toStdString();
        }
    }

    // The tool's copies before a --copy go into the test's own data folder, not the user's.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        return environment;
    }

    static inline const QString notEmpty = QStringLiteral(
        "chronoteka-newdb: The diary copied into already holds events; a diary is copied only into an empty one.\n");

    TempDiary diary;
    QTemporaryDir data;
    Rows before;
};

} // namespace

TEST_F(NewDbTool, MakesDiaryFilesAndCopiesEveryRowWithItsIdIntoAnEmptyOne)
{
    const QString here = QDir(diary.folder()).canonicalPath();
    const QString usage = QStringLiteral("usage: chronoteka-newdb <diary file | connection string>\n");
    expectRuns({
        {{}, 2, "", usage},
        {{"--copy", "db1.mdb"}, 2, "", usage},
        {{"--help"}, 2, "", usage},
        {{"new.mdb"}, 0, "", ""},
        {{"other.mdb"}, 0, "", ""},
        {{"--template", "template.mdb"}, 0, "", ""},
        {{"--template", "template.mdb"},
         1,
         "",
         QStringLiteral("chronoteka-newdb: The file '%1/template.mdb' already exists.\n").arg(here)},
        {{"new.mdb"}, 1, "", QStringLiteral("chronoteka-newdb: The file '%1/new.mdb' already exists.\n").arg(here)},
        {{"--copy", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=db1.mdb", "new.mdb"}, 0, "Rows copied: 2\n", ""},
        {{"--copy", "new.mdb", "db1.mdb"}, 1, "", notEmpty},
        {{"--copy", "other.mdb", "db1.mdb"}, 1, "", notEmpty},
        {{"--copy", "missing.mdb", "made.mdb"},
         1,
         "",
         QStringLiteral("chronoteka-newdb: Could not find file '%1/missing.mdb'.\n").arg(here)},
    });
    EXPECT_EQ(rowsOfFile(QStringLiteral("db1.mdb")), before);
    EXPECT_EQ(rowsOfFile(QStringLiteral("new.mdb")), before);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("made.mdb"))));
    // A new diary has its identity from the start; a copy has the one of the diary copied; each diary made from
    // the template, which has none, makes its own.
    EXPECT_TRUE(holdsIdentity(file(QStringLiteral("other.mdb"))));
    // A refused copy leaves the diary copied into as it was, its identity too.
    EXPECT_NE(identityOf(file(QStringLiteral("other.mdb"))), identityOf(file(QStringLiteral("db1.mdb"))));
    EXPECT_EQ(identityOf(file(QStringLiteral("new.mdb"))), identityOf(file(QStringLiteral("db1.mdb"))));
    EXPECT_FALSE(holdsIdentity(file(QStringLiteral("template.mdb"))));
    ASSERT_TRUE(QFile::copy(path(QStringLiteral("template.mdb")), path(QStringLiteral("first.mdb"))));
    ASSERT_TRUE(QFile::copy(path(QStringLiteral("template.mdb")), path(QStringLiteral("second.mdb"))));
    EXPECT_NE(identityOf(file(QStringLiteral("first.mdb"))), identityOf(file(QStringLiteral("second.mdb"))));
}

TEST_F(NewDbTool, MovesTheDiaryToAServerThatDatabaseConfThenNamesAndBack)
{
    ServerDatabase server;
    const QString onServer = server.connectionString();
    expectRuns({{{onServer}, 0, "", ""}});
    EXPECT_EQ(server.scalar(QStringLiteral("SELECT count(*) FROM chronoteka_property")), QStringLiteral("1"));
    expectRuns({
        {{onServer},
         1,
         "",
         QStringLiteral("chronoteka-newdb: The database '%1' on the server already holds a table 'job'.\n")
             .arg(server.name())},
        {{"--copy", "db1.mdb", onServer}, 0, "Rows copied: 2\n", ""},
        {{"--copy", "db1.mdb", onServer}, 1, "", notEmpty},
        {{"--copy", onServer, "back.mdb"}, 0, "Rows copied: 2\n", ""},
    });
    EXPECT_EQ(rowsOfFile(QStringLiteral("back.mdb")), before);
    const QString identity = identityOf(diary.connectionString());
    EXPECT_EQ(identityOf(onServer), identity);
    EXPECT_EQ(identityOf(file(QStringLiteral("back.mdb"))), identity);

    QFile config(path(QStringLiteral("database.conf")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(onServer.toUtf8() + '\n');
    config.close();
    TDataModule1 module(diary.location().connectionString());
    EXPECT_TRUE(module.ADOConnection1.isServer());
    EXPECT_EQ(module.ADOConnection1.tableRows().size(), 2u);

    // A second computer's diary folder on the same server: its export names the events alike.
    EXPECT_EQ(module.diaryIdentity(), identity);
    const QTemporaryDir elsewhere;
    ASSERT_TRUE(
        QFile::copy(path(QStringLiteral("database.conf")), elsewhere.filePath(QStringLiteral("database.conf"))));
    TDataModule1 second(DiaryLocation(elsewhere.path()).connectionString());
    EXPECT_EQ(second.diaryIdentity(), identity);
}

// A password in the connection info is shown by no message of a start or of the tool, whatever fails: a server not
// there, a database or table not there, a user who may not write, text libpq can't read or that a ";" would cut.
TEST_F(NewDbTool, APasswordInTheConnectionInfoIsShownByNoMessage)
{
    ServerDatabase server;
    ServerDatabase empty;
    DiaryBackend::create(server.connectionString());
    const QString role = QStringLiteral("reader_%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    server.execute(QStringLiteral("CREATE ROLE %1 LOGIN; GRANT SELECT ON job TO %1").arg(role));
    struct RoleDrop
    {
        ServerDatabase& server;
        const QString& role;
        ~RoleDrop() { server.execute(QStringLiteral("DROP OWNED BY %1; DROP ROLE %1").arg(role)); }
    } drop{server, role};
    const QString on = QStringLiteral("Provider=PostgreSQL;Data Source=");
    const QString password = QStringLiteral(" password=secret");
    const QString diaries[] = {
        on + QStringLiteral("host=/nonexistent/folder dbname=diary") + password,
        on + server.connectionInfo() + QStringLiteral(" dbname=nonexistent") + password,
        on + empty.connectionInfo() + password,
        on + server.connectionInfo() + QStringLiteral(" user=") + role + password,
        on + server.connectionInfo() + QStringLiteral(" password='secret"),
        on + server.connectionInfo() + QStringLiteral(" password=secret more"),
        on + server.connectionInfo() + QStringLiteral(" password='secret;more'"),
        on + QStringLiteral("postgresql://user:secret@/nowhere?host=/nonexistent/folder"),
        on + QStringLiteral("postgresql://user:secret%zz@/diary"),
    };
    for (const QString& connectionString : diaries) {
        SCOPED_TRACE(connectionString.toStdString());
        const QString started = errorOf([&] { TDataModule1 module(connectionString); });
        EXPECT_FALSE(started.contains(QLatin1String("secret"))) << started.toStdString();
        for (const QStringList& arguments : {QStringList{connectionString},
                                             {"--copy", "db1.mdb", connectionString},
                                             {"--backup", connectionString, "backup.mdb"}}) {
            QProcess tool;
            tool.setWorkingDirectory(diary.folder());
            tool.setProcessEnvironment(environment());
            tool.start(QStringLiteral(NEWDB), arguments);
            ASSERT_TRUE(tool.waitForFinished(30000));
            const QString output = QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
            EXPECT_FALSE(output.contains(QLatin1String("secret"))) << output.toStdString();
        }
    }
}
