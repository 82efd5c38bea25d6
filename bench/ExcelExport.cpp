// Exporting a list of 100,000 rows against a bare libxlsxwriter loop writing the same cells with the same workbook
// options, side by side; the export also reports the longest gap between two progress calls, which is how long the
// program would not answer the user. Then the heap an export of 10,000 and of 1,000,000 rows takes at its peak beyond
// the list it walks, which must not grow with the rows: an export streams them.
#include "export/ExcelExport.h"

#include "ListedDiary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int rows = 100000;

// Every column the export writes filled.
DiaryRows fullRows()
{
    DiaryRows full;
    full.events = rows;
    full.other = DiaryRows::Text::Numbered;
    full.dates = true;
    full.planned = true;
    return full;
}

ListedDiary& diary()
{
    static ListedDiary d(fullRows());
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
    state.counters["rows_phase_share"] =
        std::chrono::duration<double>(rowsPhase) / std::chrono::duration<double>(total);
}

void BM_ExportList(benchmark::State& state)
{
    cells(); // the same warm-up as the bare loop
    RecordSet& list = diary().list();
    const QString path = diary().file("export.xlsx");
    using Clock = std::chrono::steady_clock;
    const auto milliseconds = [](Clock::duration span) {
        return std::chrono::duration<double, std::milli>(span).count();
    };
    double longestGap = 0;
    double rowsPhase = 0; // until every row is in the sheet
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto last = start;
        auto rowsDone = start;
        const bool written = ExcelExport::write(list, path, QStringLiteral("ежедневное"),
                                                ExcelExport::FirstColumn::Event, [&](int done, int all) {
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

double heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// Peak heap of an export, in bytes.
struct ExportHeap
{
    double beyondList = 0; // above the heap with the list open
    double withList = 0;   // above the heap before the list was opened
};

// By the rows exported.
std::map<int, ExportHeap> exportHeaps;

// The export's first use opens its library and keeps it: done on a few rows first, so no size is charged for it.
void openExportLibrary()
{
    static const bool opened = [] {
        DiaryRows few = fullRows();
        few.events = 10;
        ListedDiary small(few);
        return ExcelExport::write(small.list(), small.file("few.xlsx"), QStringLiteral("ежедневное"),
                                  ExcelExport::FirstColumn::Event);
    }();
    benchmark::DoNotOptimize(opened);
}

// The heap sampled at every progress call, where the export hands over each chunk of rows and waits on the packing.
void BM_ExportHeap(benchmark::State& state)
{
    openExportLibrary();
    DiaryRows wanted = fullRows();
    wanted.events = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const double before = heapInUse();
        ListedDiary listed(wanted);
        // Every key listed, as the list the user exports has them once it is shown: they are the list's.
        benchmark::DoNotOptimize(listed.list().recordCount());
        const double opened = heapInUse();
        double peak = opened;
        const bool written = ExcelExport::write(listed.list(), listed.file("export.xlsx"), QStringLiteral("ежедневное"),
                                                ExcelExport::FirstColumn::Event, [&](int, int) {
                                                    peak = std::max(peak, heapInUse());
                                                    return true;
                                                });
        if (!written)
            state.SkipWithError("export cancelled");
        ExportHeap& heap = exportHeaps[wanted.events];
        heap.beyondList = peak - opened;
        heap.withList = peak - before;
        state.counters["beyond_list_per_row"] = heap.beyondList / wanted.events;
        state.counters["with_list_per_row"] = heap.withList / wanted.events;
    }
}

BENCHMARK(BM_BareLibxlsxwriterLoop)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_ExportList)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_ExportHeap)->Arg(10000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    if (::benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ::benchmark::RunSpecifiedBenchmarks();
    const auto small = exportHeaps.find(10000);
    const auto large = exportHeaps.find(1000000);
    if (small != exportHeaps.end() && large != exportHeaps.end())
        std::printf("export, peak heap beyond the list, 1,000,000 rows / 10,000 rows: %.2f (flat: close to 1); "
                    "%.1f bytes a row beyond the list, %.0f with it, at 1,000,000 rows\n",
                    large->second.beyondList / small->second.beyondList, large->second.beyondList / 1e6,
                    large->second.withList / 1e6);
    ::benchmark::Shutdown();
    return 0;
}
