#include "export/ExcelExport.h"

#include "ExcelExportSheet.h"
#include "databind/RecordSet.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "base/DateSerial.h"
#include "base/Error.h"
#include "support/FixedClock.h"
#include "support/QtPrinters.h"
#include "support/ReadOnlyFolder.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TempDiary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <limits>
#include <memory>
#include <optional>
#include <malloc.h>
#include <sys/resource.h>

namespace {

const QString daily = QStringLiteral("ежедневное");
const QStringList eventHeader = {
    QStringLiteral("Мероприятие"),
    QStringLiteral("Периодичность"),
    QStringLiteral("Дата исполнения"),
    QStringLiteral("Время исполнения"),
    QStringLiteral("Выполнено"),
    QStringLiteral("Примечание"),
    QStringLiteral("Дата начала напоминания"),
    QStringLiteral("Время начала напоминания"),
    QStringLiteral("Дата последнего изменения"),
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

double heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

int openFiles()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A diary, the list over it as the main window's query makes it, and a folder to export into.
class ExcelExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(out.isValid());
        ScriptedMessageBoxes::instance().clear();
    }

    RecordSet& openList(const QString& sql = QStringLiteral("select * from job where period = :period order by "
                                                            "date_isp"))
    {
        connection = std::make_unique<Connection>(DiaryBackend::open(diary.connectionString()), JobTable::schema());
        list = std::make_unique<RecordSet>(QStringLiteral("QJob"), *connection);
        list->setSql({sql});
        if (!list->parameterNames().isEmpty())
            list->setParameter(QStringLiteral("period"), daily);
        list->open();
        return *list;
    }

    // Many plain rows at once, in one transaction.
    void addRows(int count)
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(diary.databasePath()).constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "insert into job (job, period, vip) values (?, ?, ?)", -1, &insert, nullptr);
        const QByteArray period = daily.toUtf8();
        for (int i = 0; i < count; ++i) {
            const QByteArray job = QStringLiteral("строка %1").arg(i).toUtf8();
            sqlite3_bind_text(insert, 1, job.constData(), static_cast<int>(job.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, period.constData(), static_cast<int>(period.size()), SQLITE_STATIC);
            sqlite3_bind_int(insert, 3, i % 2);
            ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    QString target(const QString& name = QStringLiteral("список.xlsx")) const { return out.filePath(name); }

    ExcelExport::Dialogs choosing(const QString& path)
    {
        ExcelExport::Dialogs dialogs;
        dialogs.choosePath = [this, path](QWidget*, const QString& proposed) {
            proposedPath = proposed;
            return path;
        };
        dialogs.progress = [this](QWidget*, int rows) -> ExcelExport::Progress {
            progressRows = rows;
            return [this](int done, int) {
                progressCalls.append(done);
                return cancelAt < 0 || done < cancelAt;
            };
        };
        return dialogs;
    }

    const QList<MessageBoxes::Message>& boxes() const { return ScriptedMessageBoxes::instance().shown(); }

    TempDiary diary;
    QTemporaryDir out;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<RecordSet> list;
    QString proposedPath;
    int progressRows = -1;
    QList<int> progressCalls;
    int cancelAt = -1;
};

TEST_F(ExcelExportTest, WritesTheListInItsOrderUnderAHeaderThatStaysInView)
{
    const QString longNote(40000, QLatin1Char('x'));
    diary.addRow({{QStringLiteral("job"), QStringLiteral("Позвонить маме")},
                  {QStringLiteral("period"), daily},
                  {QStringLiteral("date_isp"), QDate(2024, 3, 6)},
                  {QStringLiteral("vip"), false},
                  {QStringLiteral("other"), longNote}});
    diary.addRow({{QStringLiteral("job"), QStringLiteral("Купить хлеб <свежий> & молоко")},
                  {QStringLiteral("period"), daily},
                  {QStringLiteral("date_isp"), QDate(2024, 3, 5)},
                  {QStringLiteral("time_isp"), QTime(10, 30)},
                  {QStringLiteral("vip"), true},
                  {QStringLiteral("other"), QStringLiteral("первая строка\nвторая \a строка")},
                  {QStringLiteral("date_shed"), QDate(2024, 3, 1)},
                  {QStringLiteral("time_shed"), QTime(8, 0)},
                  {QStringLiteral("date_zap"), QDateTime(QDate(2024, 3, 4), QTime(18, 45, 30))}});
    diary.addRow({{QStringLiteral("job"), QStringLiteral("чужая периодичность")},
                  {QStringLiteral("period"), QStringLiteral("ежегодное")}});
    RecordSet& set = openList();
    set.next();
    ASSERT_EQ(set.recNo(), 1);

    ASSERT_TRUE(ExcelExport::write(set, target(), daily, ExcelExport::FirstColumn::Event));

    const ExcelExportSheet sheet = ExcelExportSheet::read(target());
    ASSERT_TRUE(sheet.error.isEmpty()) << sheet.error.toStdString();
    EXPECT_EQ(sheet.name, daily);
    EXPECT_EQ(sheet.row(1, 9), eventHeader);
    EXPECT_TRUE(sheet.isBold(QStringLiteral("A1")));
    EXPECT_FALSE(sheet.isBold(QStringLiteral("A2")));
    EXPECT_EQ(sheet.rowCount, 3);
    EXPECT_EQ(sheet.frozenTopLeft, QStringLiteral("A2"));
    EXPECT_EQ(sheet.autoFilter, QStringLiteral("A1:I3"));
    for (int column = 1; column <= 9; ++column)
        EXPECT_GE(sheet.columnWidths.value(column), 10.0) << "column " << column;

    const QStringList texts = sheet.row(2, 9);
    EXPECT_EQ(texts[0], QStringLiteral("Купить хлеб <свежий> & молоко"));
    EXPECT_EQ(texts[1], daily);
    EXPECT_EQ(texts[4], QStringLiteral("Да"));
    EXPECT_EQ(texts[5], QStringLiteral("первая строка\nвторая _x0007_ строка"));
    const std::pair<const char*, double> numbers[] = {
        {"C2", 45356}, {"D2", 0.4375}, {"G2", 45352}, {"H2", 1.0 / 3}, {"I2", 45355 + 67530.0 / 86400}};
    for (const auto& [ref, number] : numbers)
        EXPECT_NEAR(sheet.number(QString::fromLatin1(ref)), number, 1e-9) << ref;
    EXPECT_EQ(sheet.numberFormat(QStringLiteral("C2")), QStringLiteral("dd.mm.yyyy"));
    EXPECT_EQ(sheet.numberFormat(QStringLiteral("D2")), QStringLiteral("hh:mm"));
    EXPECT_EQ(sheet.numberFormat(QStringLiteral("I2")), QStringLiteral("dd.mm.yyyy hh:mm:ss"));

    EXPECT_EQ(sheet.text(QStringLiteral("A3")), QStringLiteral("Позвонить маме"));
    EXPECT_EQ(sheet.text(QStringLiteral("E3")), QStringLiteral("Нет"));
    for (const char* empty : {"D3", "G3", "H3", "I3"})
        EXPECT_FALSE(sheet.has(QString::fromLatin1(empty))) << empty;
    // The spreadsheet's limit for one cell.
    EXPECT_EQ(sheet.text(QStringLiteral("F3")), longNote.left(32767));

    // The user's current record is where it was, and the fields read it.
    EXPECT_EQ(set.recNo(), 1);
    EXPECT_EQ(set.fieldByName(QStringLiteral("job")).displayText(), QStringLiteral("Позвонить маме"));
}

TEST_F(ExcelExportTest, DatesThatSpreadsheetsCountAlikeAreNumbersTheOthersText)
{
    struct Case
    {
        QVariant dateIsp;
        QVariant timeIsp;
        QVariant dateCell; // a number, or a text
        QString dateFormat;
        QVariant timeCell; // a number, or null for no cell
    };
    const Case cases[] = {
        {QDate(2024, 3, 5), QTime(23, 59), 45356.0, QStringLiteral("dd.mm.yyyy"), 1439.0 / 1440},
        {QDateTime(QDate(2024, 3, 5), QTime(6, 0)), QDateTime(QDate(2024, 3, 5), QTime(6, 0)), 45356.25,
         QStringLiteral("dd.mm.yyyy hh:mm:ss"), 0.25},
        {QDate(1900, 3, 1), QVariant(), 61.0, QStringLiteral("dd.mm.yyyy"), QVariant()},
        {QDate(1900, 2, 28), QVariant(), QStringLiteral("28.02.1900"), QString(), QVariant()},
        {QDateTime(QDate(1812, 9, 7), QTime(6, 0)), QDateTime(QDate(1812, 9, 7), QTime(6, 0)),
         QStringLiteral("07.09.1812 06:00:00"), QString(), 0.25},
        {QDate(9999, 12, 31), QVariant(), 2958465.0, QStringLiteral("dd.mm.yyyy"), QVariant()},
    };
    for (const Case& c : cases) {
        QVariantMap row{{QStringLiteral("job"), QStringLiteral("x")}, {QStringLiteral("period"), daily}};
        row.insert(QStringLiteral("date_isp"), c.dateIsp);
        if (!c.timeIsp.isNull())
            row.insert(QStringLiteral("time_isp"), c.timeIsp);
        diary.addRow(row);
    }
    RecordSet& set = openList(QStringLiteral("select * from job order by id_job"));

    ASSERT_TRUE(ExcelExport::write(set, target(), daily, ExcelExport::FirstColumn::Event));

    const ExcelExportSheet sheet = ExcelExportSheet::read(target());
    ASSERT_TRUE(sheet.error.isEmpty()) << sheet.error.toStdString();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const QString date = QStringLiteral("C%1").arg(i + 2);
        const QString time = QStringLiteral("D%1").arg(i + 2);
        SCOPED_TRACE(c.dateIsp.toString().toStdString());
        if (c.dateCell.typeId() == QMetaType::Double) {
            EXPECT_TRUE(sheet.cells.value(date).type.isEmpty()) << "a number";
            EXPECT_NEAR(sheet.number(date), c.dateCell.toDouble(), 1e-9);
        } else {
            EXPECT_EQ(sheet.text(date), c.dateCell.toString());
        }
        EXPECT_EQ(sheet.numberFormat(date), c.dateFormat);
        EXPECT_EQ(sheet.has(time), !c.timeCell.isNull());
        EXPECT_NEAR(sheet.number(time), c.timeCell.toDouble(), 1e-9);
        if (sheet.has(time)) {
            EXPECT_EQ(sheet.numberFormat(time), QStringLiteral("hh:mm"));
        }
    }
}

TEST_F(ExcelExportTest, DatesThatCannotBeShownAreEmptyCells)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double absurd[] = {1e300, -1e300, inf, -inf, DateSerial::fromDate(QDate(99, 1, 1))};
    for (const double serial : absurd)
        diary.addRow({{QStringLiteral("job"), QStringLiteral("x")},
                      {QStringLiteral("period"), daily},
                      {QStringLiteral("date_isp"), serial},
                      {QStringLiteral("time_isp"), serial}});
    RecordSet& set = openList(QStringLiteral("select * from job order by id_job"));

    ASSERT_TRUE(ExcelExport::write(set, target(), daily, ExcelExport::FirstColumn::Event));

    const ExcelExportSheet sheet = ExcelExportSheet::read(target());
    ASSERT_TRUE(sheet.error.isEmpty()) << sheet.error.toStdString();
    for (std::size_t i = 0; i < std::size(absurd); ++i) {
        SCOPED_TRACE(absurd[i]);
        EXPECT_EQ(sheet.text(QStringLiteral("A%1").arg(i + 2)), QStringLiteral("x"));
        EXPECT_FALSE(sheet.has(QStringLiteral("C%1").arg(i + 2)));
        EXPECT_FALSE(sheet.has(QStringLiteral("D%1").arg(i + 2)));
    }
}

TEST_F(ExcelExportTest, BirthdaysAreHeadedByThePersonsName)
{
    diary.addRow({{QStringLiteral("job"), QStringLiteral("Иванов И.И.")}, {QStringLiteral("period"), daily}});
    RecordSet& set = openList();

    ASSERT_TRUE(ExcelExport::write(set, target(), QStringLiteral("День рождения"), ExcelExport::FirstColumn::Person));

    const ExcelExportSheet sheet = ExcelExportSheet::read(target());
    EXPECT_EQ(sheet.name, QStringLiteral("День рождения"));
    EXPECT_EQ(sheet.text(QStringLiteral("A1")), QStringLiteral("Фамилия И.О."));
    EXPECT_EQ(sheet.text(QStringLiteral("A2")), QStringLiteral("Иванов И.И."));
}

TEST(ExcelExportSheetName, IsMadeAcceptableToSpreadsheets)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Все мероприятия"), QStringLiteral("Все мероприятия")},
        {QStringLiteral("план [1/2]: что? *где*\\"), QStringLiteral("план _1_2__ что_ _где__")},
        {QString(40, QChar(u'я')), QString(31, QChar(u'я'))},
        {QStringLiteral("'кавычки'"), QStringLiteral("кавычки")},
        {QString(), QStringLiteral("Лист1")},
        {QStringLiteral("''"), QStringLiteral("Лист1")},
    };
    for (const auto& [name, valid] : cases)
        EXPECT_EQ(ExcelExport::validSheetName(name), valid);
}

TEST_F(ExcelExportTest, MenuCommandSavesTheEditFirstAndTellsTheFileAndRows)
{
    FixedClock clock(QDateTime(QDate(2024, 3, 7), QTime(12, 0)));
    const qint64 first =
        diary.addRow({{QStringLiteral("job"), QStringLiteral("было")}, {QStringLiteral("period"), daily}});
    diary.addRow({{QStringLiteral("job"), QStringLiteral("второе")}, {QStringLiteral("period"), daily}});
    RecordSet& set = openList(QStringLiteral("select * from job where period = :period order by id_job"));
    set.edit();
    set.fieldByName(QStringLiteral("job")).setValue(QStringLiteral("стало"));
    ExcelExport::Dialogs dialogs = choosing(target());
    dialogs.progress = [](QWidget*, int) -> ExcelExport::Progress {
        ADD_FAILURE() << "a short list needs no progress dialog";
        return {};
    };

    EXPECT_EQ(ExcelExport::run(nullptr, set, daily, ExcelExport::FirstColumn::Event, dialogs),
              ExcelExport::Outcome::Written);

    EXPECT_EQ(QFileInfo(proposedPath).fileName(), QStringLiteral("Хронотека 2024-03-07.xlsx"));
    EXPECT_EQ(diary.value(first, QStringLiteral("job")).toString(), QStringLiteral("стало"));
    EXPECT_EQ(set.state(), RecordSet::State::Browse);
    EXPECT_EQ(ExcelExportSheet::read(target()).text(QStringLiteral("A2")), QStringLiteral("стало"));
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_EQ(boxes()[0].caption, QStringLiteral("Хронотека"));
    EXPECT_EQ(boxes()[0].icon, MessageBoxes::Icon::None);
    EXPECT_EQ(boxes()[0].text, QStringLiteral("Файл «%1» записан, строк: 2.").arg(target()));
}

TEST_F(ExcelExportTest, CancelInTheSaveDialogWritesNothing)
{
    diary.addRow({{QStringLiteral("job"), QStringLiteral("a")}, {QStringLiteral("period"), daily}});
    RecordSet& set = openList();

    EXPECT_EQ(ExcelExport::run(nullptr, set, daily, ExcelExport::FirstColumn::Event, choosing(QString())),
              ExcelExport::Outcome::Cancelled);

    EXPECT_TRUE(QDir(out.path()).isEmpty());
    EXPECT_TRUE(boxes().isEmpty());
}

// Cancelling the progress dialog at any report, the first, one in the middle or the last before the workbook is
// packed, leaves the old file as it was and no temporary file behind, and keeps no file open.
TEST_F(ExcelExportTest, CancelInTheProgressDialogWritesNothing)
{
    const int rows = ExcelExport::progressDialogRows + 1;
    addRows(rows);
    RecordSet& set = openList();
    set.next();
    const QString current = set.fieldByName(QStringLiteral("job")).displayText();
    writeFile(target(), "old");
    const int filesBefore = openFiles();

    for (const int at : {0, 2000, rows}) {
        SCOPED_TRACE(at);
        cancelAt = at;
        progressCalls.clear();
        ScriptedMessageBoxes::instance().clear();

        EXPECT_EQ(ExcelExport::run(nullptr, set, daily, ExcelExport::FirstColumn::Event, choosing(target())),
                  ExcelExport::Outcome::Cancelled);

        EXPECT_EQ(progressRows, rows);
        ASSERT_FALSE(progressCalls.isEmpty());
        EXPECT_EQ(progressCalls.last(), at);
        EXPECT_EQ(contents(target()), QByteArray("old"));
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(target()).fileName()});
        EXPECT_TRUE(boxes().isEmpty());
        EXPECT_EQ(set.recNo(), 1);
        EXPECT_EQ(openFiles(), filesBefore);
    }
    EXPECT_EQ(set.fieldByName(QStringLiteral("job")).displayText(), current);
}

TEST_F(ExcelExportTest, ProgressGoesUpToTheEndWhileTheFieldsShowTheCurrentRecord)
{
    const int rows = 2500;
    addRows(rows);
    RecordSet& set = openList(QStringLiteral("select * from job order by id_job"));
    set.last();
    const QString current = set.fieldByName(QStringLiteral("job")).displayText();
    QList<int> reports;
    QStringList seen;

    ASSERT_TRUE(ExcelExport::write(set, target(), daily, ExcelExport::FirstColumn::Event, [&](int done, int total) {
        EXPECT_EQ(total, rows);
        reports.append(done);
        seen.append(set.fieldByName(QStringLiteral("job")).displayText());
        return true;
    }));

    ASSERT_GE(reports.size(), 4);
    EXPECT_EQ(reports.mid(0, 4), (QList<int>{0, 1000, 2000, rows}));
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(seen.count(current), seen.size());
    const ExcelExportSheet sheet = ExcelExportSheet::read(target());
    EXPECT_EQ(sheet.rowCount, rows + 1);
    EXPECT_EQ(sheet.text(QStringLiteral("A%1").arg(rows + 1)), QStringLiteral("строка %1").arg(rows - 1));
}

// An export streams the rows: whatever the list holds, the export adds no more for 200,000 rows than for 20,000.
// Measured at the progress calls of the export's second half, the least of them: up to a few chunks of rows wait to
// be packed at each, more or fewer as the packing thread keeps up, while anything kept for each row exported would
// have grown by then.
TEST_F(ExcelExportTest, HeapDuringAnExportDoesNotGrowWithTheRows)
{
    const auto heapBeyondList = [&](const QString& path) {
        RecordSet& set = openList(QStringLiteral("select * from job order by id_job"));
        // A first export reads the whole list, as the measured one then finds it: every key listed, the database's
        // page cache full.
        EXPECT_TRUE(ExcelExport::write(set, path, daily, ExcelExport::FirstColumn::Event));
        const double opened = heapInUse();
        std::vector<double> heaps;
        EXPECT_TRUE(ExcelExport::write(set, path, daily, ExcelExport::FirstColumn::Event, [&](int, int) {
            heaps.push_back(heapInUse() - opened);
            return true;
        }));
        return *std::min_element(heaps.begin() + static_cast<std::ptrdiff_t>(heaps.size() / 2), heaps.end());
    };
    addRows(20000);
    const double few = heapBeyondList(target(QStringLiteral("20000.xlsx")));
    addRows(180000);
    const double many = heapBeyondList(target(QStringLiteral("200000.xlsx")));

    // Keeping a row's key alone, 8 bytes, would add 0.8 MB by the middle of the larger export.
    EXPECT_LT(many - few, 1 << 19) << "20,000 rows: " << few << " bytes, 200,000 rows: " << many << " bytes";
}

enum class WriteFailure { ReadOnlyFolder, DiskFull };

class ExcelExportFailure : public ExcelExportTest, public ::testing::WithParamInterface<WriteFailure>
{
};

// Whatever stops the writing, the old file stays as it was, nothing is left beside it, and the user is told why.
TEST_P(ExcelExportFailure, LeavesTheOldFileAndShowsTheReason)
{
    for (int i = 0; i < 5; ++i)
        diary.addRow(
            {{QStringLiteral("job"), QStringLiteral("строка номер %1").arg(i)}, {QStringLiteral("period"), daily}});
    RecordSet& set = openList();
    std::optional<ReadOnlyFolder> readOnly;
    if (GetParam() == WriteFailure::ReadOnlyFolder) {
        readOnly.emplace(out.path());
        ASSERT_TRUE(readOnly->isReady());
    }
    writeFile(target(), "old");

    struct rlimit previousLimit
    {
    };
    getrlimit(RLIMIT_FSIZE, &previousLimit);
    auto previousSignal = SIG_DFL;
    switch (GetParam()) {
    case WriteFailure::ReadOnlyFolder:
        ASSERT_TRUE(readOnly->seal());
        break;
    case WriteFailure::DiskFull: {
        // Files of this process can't grow past a few bytes, as on a full disk.
        previousSignal = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = previousLimit;
        small.rlim_cur = 1024;
        setrlimit(RLIMIT_FSIZE, &small);
        break;
    }
    }

    const ExcelExport::Outcome outcome =
        ExcelExport::run(nullptr, set, daily, ExcelExport::FirstColumn::Event, choosing(target()));

    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousSignal);
    EXPECT_EQ(outcome, ExcelExport::Outcome::Failed);
    EXPECT_EQ(contents(target()), QByteArray("old"));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(target()).fileName()});
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_EQ(boxes()[0].caption, QStringLiteral("Хронотека"));
    EXPECT_EQ(boxes()[0].icon, MessageBoxes::Icon::Error);
    const QString start = QStringLiteral("Не удалось записать файл «%1»: ").arg(target());
    EXPECT_TRUE(boxes()[0].text.startsWith(start)) << boxes()[0].text.toStdString();
    EXPECT_GT(boxes()[0].text.size(), start.size() + 3) << "the system's reason";
}

INSTANTIATE_TEST_SUITE_P(ExcelExport, ExcelExportFailure,
                         ::testing::Values(WriteFailure::ReadOnlyFolder, WriteFailure::DiskFull), [](const auto& info) {
                             return info.param == WriteFailure::ReadOnlyFolder ? "ReadOnlyFolder" : "DiskFull";
                         });

} // namespace
