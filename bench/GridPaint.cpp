// The grid against the record set it shows: opening a large set bound to a grid and painting the first screen
// against opening the set alone, and scrolling one page through a large set against a small one. Both figures
// are printed as ratios of benchmarks run side by side.
#include "BenchDiary.h"
#include "databind/DataSource.h"
#include "databind/RecordSet.h"
#include "databind/controls/DataGrid.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int largeRows = 100000;
constexpr int smallRows = 1000;
const QString connectionString = BenchDiary::connectionString();

// Only what the grid shows and paints by: the event and its done flag.
DiaryRows largeRowsShown()
{
    DiaryRows rows;
    rows.events = largeRows;
    return rows;
}

// The set QJob would be over rows events, with the grid of the main window bound to it.
struct GridOnSet
{
    explicit GridOnSet(int rows)
        : connection(DiaryBackend::open(connectionString), JobTable::schema()), set(QStringLiteral("QJob"), connection),
          source(QStringLiteral("SQJob"), &set)
    {
        set.setSql({QStringLiteral("select * from job where id_job <= %1 order by id_job").arg(rows)});
        grid.setColumns({QStringLiteral("job"), QStringLiteral("vip")});
        grid.setReadOnly(true);
        grid.setRowSelect(true);
        grid.resize(540, 220);
        grid.horizontalHeader()->resizeSection(0, 400);
        grid.setDrawColumnCell(
            [this](const QRect& rect, int column, const DataGridColumn& data, DataGrid::DrawState state) {
                // The main window's own drawing reads the painted row's done flag.
                ++cellsPainted;
                if (!set.fieldByName(QStringLiteral("vip")).asBoolean()) {
                    grid.setCellBackground(QColor(9, 255, 171));
                    grid.defaultDrawColumnCell(rect, column, data, state);
                }
            });
        grid.show();
    }

    // Paints the grid's rows as a paint event would, whether or not the window is on a screen.
    void paint() { grid.viewport()->render(&canvas); }

    QImage canvas{540, 220, QImage::Format_ARGB32_Premultiplied};
    long cellsPainted = 0;

    Connection connection;
    RecordSet set;
    DataSource source;
    DataGrid grid;
};

void openSetAlone(benchmark::State& state)
{
    Connection connection(DiaryBackend::open(connectionString), JobTable::schema());
    RecordSet set(QStringLiteral("QJob"), connection);
    DataSource source(QStringLiteral("SQJob"), &set);
    set.setSql({QStringLiteral("select * from job where id_job <= %1 order by id_job").arg(largeRows)});
    for (auto _ : state) {
        set.open();
        benchmark::DoNotOptimize(set.recordCount());
        set.close();
    }
}

void openSetWithGrid(benchmark::State& state)
{
    GridOnSet bound(largeRows);
    bound.grid.setDataSource(&bound.source);
    for (auto _ : state) {
        bound.set.open();
        bound.paint();
        bound.set.close();
    }
    state.counters["cells"] = benchmark::Counter(double(bound.cellsPainted), benchmark::Counter::kAvgIterations);
}

void scrollPage(benchmark::State& state)
{
    GridOnSet bound(static_cast<int>(state.range(0)));
    bound.grid.setDataSource(&bound.source);
    bound.set.open();
    bound.set.moveBy(static_cast<int>(state.range(0)) / 2);
    bool down = true;
    for (auto _ : state) {
        QKeyEvent page(QEvent::KeyPress, down ? Qt::Key_PageDown : Qt::Key_PageUp, Qt::NoModifier);
        QApplication::sendEvent(&bound.grid, &page);
        bound.paint();
        down = !down;
    }
    state.counters["cells"] = benchmark::Counter(double(bound.cellsPainted), benchmark::Counter::kAvgIterations);
    state.counters["row"] = bound.set.recNo();
}

BENCHMARK(openSetAlone)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(openSetWithGrid)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(scrollPage)->Arg(smallRows)->Arg(largeRows)->Unit(benchmark::kMicrosecond);

// Prints each figure as the ratio of the two runs it compares, after the usual table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const
    {
        const auto ratio = [this](const std::string& a, const std::string& b) {
            return m_times.count(a) && m_times.count(b) ? m_times.at(a) / m_times.at(b) : 0.0;
        };
        std::printf("open %d rows and paint the first screen / open alone: %.2f (at most 1.5)\n", largeRows,
                    ratio("openSetWithGrid/iterations:10", "openSetAlone/iterations:10"));
        std::printf("scroll one page, %d rows / %d rows: %.2f (at most 1.3)\n", largeRows, smallRows,
                    ratio("scrollPage/" + std::to_string(largeRows), "scrollPage/" + std::to_string(smallRows)));
    }

private:
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchDiary diary(largeRowsShown());
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
