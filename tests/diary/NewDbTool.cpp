#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "support/QtPrinters.h"
#include "support/TempDiary.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Rows = std::vector<std::vector<QVariant>>;

// Every row of the diary file at path as a select reads it, in id order.
Rows rowsOf(const QString& path)
{
    Connection connection(JobTable::connectionString(path), JobTable::schema());
    const auto snapshot = connection.select(QStringLiteral("select * from job order by id_job"), {});
    Rows rows(static_cast<std::size_t>(snapshot->rowCount()));
    for (int row = 0; row < snapshot->rowCount(); ++row)
        for (int column = 0; column < snapshot->columnCount(); ++column)
            rows[static_cast<std::size_t>(row)].push_back(snapshot->value(row, column));
    return rows;
}

} // namespace

TEST(DiaryCopy, TheToolMakesDiariesAndCopiesEveryRowWithItsIdIntoAnEmptyOne)
{
    // A row of every kind of value, one of nulls, and a gap in the ids where a row was deleted, so that a copy equal
    // to the diary has kept the ids.
    TempDiary diary;
    diary.addRow({{"job", QStringLiteral("День рождения Тани")},
                  {"date_isp", QDate(1990, 2, 28)},
                  {"time_isp", QTime(9, 30)},
                  {"other", QStringLiteral("торт\nи цветы")},
                  {"vip", false},
                  {"napom", true}});
    const qint64 deleted = diary.addRow({});
    diary.addRow({});
    Connection(JobTable::connectionString(), JobTable::schema())
        .select(QStringLiteral("select * from job where id_job = ?"), {deleted})
        ->deleteRow(0);

    const QString here = QDir::currentPath();
    const QString usage = QStringLiteral("usage: chronoteka-newdb <diary file | connection string>\n");
    const struct
    {
        QStringList arguments;
        int exitCode;
        QString out;
        QString error; // its beginning
    } cases[] = {
        {{}, 2, "", usage},
        {{"--copy", "db1.mdb"}, 2, "", usage},
        {{"--help"}, 2, "", usage},
        {{"new.mdb"}, 0, "", ""},
        {{"new.mdb"}, 1, "", QStringLiteral("chronoteka-newdb: The file '%1/new.mdb' already exists.\n").arg(here)},
        {{"--copy", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=db1.mdb", "new.mdb"}, 0, "Rows copied: 2\n", ""},
        {{"--copy", "new.mdb", "db1.mdb"},
         1,
         "",
         QStringLiteral(
             "chronoteka-newdb: The diary '%1/db1.mdb' is not empty; a diary is copied only into an empty one.\n")
             .arg(here)},
        {{"--copy", "missing.mdb", "made.mdb"},
         1,
         "",
         QStringLiteral("chronoteka-newdb: Could not find file '%1/missing.mdb'.\n").arg(here)},
    };
    const Rows before = rowsOf(QStringLiteral("db1.mdb"));
    for (const auto& c : cases) {
        QProcess tool;
        tool.start(QStringLiteral(NEWDB), c.arguments);
        ASSERT_TRUE(tool.waitForFinished(30000));
        const std::string arguments = c.arguments.join(u' ').toStdString();
        EXPECT_EQ(tool.exitCode(), c.exitCode) << arguments;
        EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput()), c.out) << arguments;
        const QString error = QString::fromUtf8(tool.readAllStandardError());
        EXPECT_EQ(error.left(c.error.size()), c.error) << arguments;
        EXPECT_EQ(error.isEmpty(), c.error.isEmpty()) << arguments << error.toStdString();
    }
    EXPECT_EQ(rowsOf(QStringLiteral("db1.mdb")), before);
    EXPECT_EQ(rowsOf(QStringLiteral("new.mdb")), before);
    EXPECT_FALSE(QFile::exists(QStringLiteral("made.mdb")));
}
