// Exporting a list of 100,000 rows against a bare libxlsxwriter loop writing the same cells with the same workbook
// options, side by side; the export also reports the longest gap between two progress calls, which is how long the
// program would not answer the user.
#include "ExcelExport.h"

#include "Connection.h"
#include "DateSerial.h"
#include "RecordSet.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int rows = 100000;
const QString connectionString =
    QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=db1.mdb;Persist Security Info=False");

// A diary of rows events with every column filled, in a temporary folder made current.
class FullDiary
{
public:
    FullDiary()
    {
        if (!m_dir.isValid())
            throw std::runtime_error("no temporary folder");
        const QString path = m_dir.filePath(QStringLiteral("db1.mdb"));
        Schema::createEmptyDatabase(path);
        QDir::setCurrent(m_dir.path());
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db,
                           "insert into job (job, period, date_isp, time_isp, vip, other, date_shed, time_shed, "
                           "date_zap) values (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                           -1, &insert, nullptr);
        const double day = DateSerial::fromDate(QDate(2026, 1, 1));
        for (int i = 0; i < rows; ++i) {
            const QByteArray job = QStringLiteral("Мероприятие номер %1").arg(i).toUtf8();
            const QByteArray other = QStringLiteral("Примечание к мероприятию %1").arg(i).toUtf8();
            sqlite3_bind_text(insert, 1, job.constData(), static_cast<int>(job.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, "ежедневное", -1, SQLITE_STATIC);
            sqlite3_bind_double(insert, 3, day + i % 365);
            sqlite3_bind_double(insert, 4, (i % 96) / 96.0);
            sqlite3_bind_int(insert, 5, i % 2);
            sqlite3_bind_text(insert, 6, other.constData(), static_cast<int>(other.size()), SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 7, day + i % 365 - 3);
            sqlite3_bind_double(insert, 8, (i % 48) / 48.0);
            sqlite3_bind_double(insert, 9, day + (i % 1000) / 1000.0);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        m_connection = std::make_unique<Connection>(connectionString);
        m_list = std::make_unique<RecordSet>(QStringLiteral("QJob"), *m_connection);
        m_list->setSql({QStringLiteral("select * from job order by id_job")});
        m_list->open();
    }

    RecordSet& list() { return *m_list; }
    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<RecordSet> m_list;
};

FullDiary& diary()
{
    static FullDiary d;
    return d;
}

// The cells of the list, read out beforehand, so the bare loop does nothing but write them.
struct Cells
{
    std::vector<std::array<std::string, 3>> texts; // job, period, other
    std::vector<std::array<double, 5>> numbers;    // date_isp, time_isp, date_shed, time_shed, date_zap
    std::vector<bool> done;
};

const Cells& cells()
{
    static const Cells c = [] {
        Cells out;
        RecordSet& list = diary().list();
        const char* texts[] = {"job", "period", "other"};
        const char* numbers[] = {"date_isp", "time_isp", "date_shed", "time_shed", "date_zap"};
        for (int row = 0; row < list.recordCount(); ++row) {
            list.setActiveRow(row);
            std::array<std::string, 3> t;
            for (int i = 0; i < 3; ++i)
                t[i] = list.fieldByName(QString::fromLatin1(texts[i])).value().toString().toStdString();
            std::array<double, 5> n{};
            for (int i = 0; i < 5; ++i)
                n[i] = list.fieldByName(QString::fromLatin1(numbers[i])).asSerial();
            out.texts.push_back(std::move(t));
            out.numbers.push_back(n);
            out.done.push_back(list.fieldByName(QStringLiteral("vip")).asBoolean());
        }
        list.setActiveRow(-1);
        return out;
    }();
    return c;
}

void BM_BareLibxlsxwriterLoop(benchmark::State& state)
{
    const Cells& c = cells();
    const QByteArray path = QFile::encodeName(diary().file("bare.xlsx"));
    const QByteArray tmp = QFile::encodeName(QDir::tempPath());
    using Clock = std::chrono::steady_clock;
    Clock::duration rowsPhase{};
    Clock::duration total{};
    for (auto _ : state) {
        const auto start = Clock::now();
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = const_cast<char*>(tmp.constData());
        lxw_workbook* book = workbook_new_opt(path.constData(), &options);
        lxw_worksheet* sheet = workbook_add_worksheet(book, "ежедневное");
        lxw_format* bold = workbook_add_format(book);
        format_set_bold(bold);
        lxw_format* date = workbook_add_format(book);
        format_set_num_format(date, "dd.mm.yyyy");
        lxw_format* dateTime = workbook_add_format(book);
        format_set_num_format(dateTime, "dd.mm.yyyy hh:mm:ss");
        lxw_format* time = workbook_add_format(book);
        format_set_num_format(time, "hh:mm");
        for (lxw_col_t col = 0; col < 9; ++col)
            worksheet_write_string(sheet, 0, col, "Заголовок", bold);
        for (std::size_t i = 0; i < c.texts.size(); ++i) {
            const auto row = static_cast<lxw_row_t>(i + 1);
            const auto& t = c.texts[i];
            const auto& n = c.numbers[i];
            worksheet_write_string(sheet, row, 0, t[0].c_str(), nullptr);
            worksheet_write_string(sheet, row, 1, t[1].c_str(), nullptr);
            worksheet_write_number(sheet, row, 2, n[0], date);
            worksheet_write_number(sheet, row, 3, n[1], time);
            worksheet_write_string(sheet, row, 4, c.done[i] ? "Да" : "Нет", nullptr);
            worksheet_write_string(sheet, row, 5, t[2].c_str(), nullptr);
            worksheet_write_number(sheet, row, 6, n[2], date);
            worksheet_write_number(sheet, row, 7, n[3], time);
            worksheet_write_number(sheet, row, 8, n[4], dateTime);
        }
        rowsPhase += Clock::now() - start;
        if (workbook_close(book) != LXW_NO_ERROR)
            state.SkipWithError("workbook_close failed");
        total += Clock::now() - start;
    }
    state.counters["rows"] = static_cast<double>(c.texts.size());
    state.counters["rows_phase_share"] = std::chrono::duration<double>(rowsPhase) / std::chrono::duration<double>(total);
}

void BM_ExportList(benchmark::State& state)
{
    cells(); // the same warm-up as the bare loop
    RecordSet& list = diary().list();
    const QString path = diary().file("export.xlsx");
    using Clock = std::chrono::steady_clock;
    const auto milliseconds = [](Clock::duration span) { return std::chrono::duration<double, std::milli>(span).count(); };
    double longestGap = 0;
    double rowsPhase = 0; // until every row is in the sheet
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto last = start;
        auto rowsDone = start;
        const bool written =
            ExcelExport::write(list, path, QStringLiteral("ежедневное"), ExcelExport::FirstColumn::Event,
                               [&](int done, int all) {
                                   const auto now = Clock::now();
                                   longestGap = std::max(longestGap, milliseconds(now - last));
                                   if (done == all && rowsDone == start)
                                       rowsDone = now;
                                   last = now;
                                   return true;
                               });
        if (!written)
            state.SkipWithError("export cancelled");
        const auto end = Clock::now();
        longestGap = std::max(longestGap, milliseconds(end - last));
        rowsPhase += milliseconds(rowsDone - start);
        total += milliseconds(end - start);
    }
    state.counters["rows"] = list.recordCount();
    state.counters["longest_progress_gap_ms"] = longestGap;
    state.counters["rows_phase_share"] = rowsPhase / total;
}

BENCHMARK(BM_BareLibxlsxwriterLoop)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_ExportList)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    if (::benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
