// Moving through a large record set with a control attached against a bare loop over the same snapshot, a post of one
// row on a large set against a small one, and a post with the search's index against one without it: the figures
// come out as ratios of benchmarks run side by side.
#include "BenchDiary.h"
#include "SideBySide.h"
#include "databind/DataLink.h"
#include "databind/DataSource.h"
#include "databind/RecordSet.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/SearchWords.h"
#include "engine/Snapshot.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int largeRows = 100000;
const QString allRows = QStringLiteral("select * from job order by id_job");
const QString firstThousand = QStringLiteral("select * from job where id_job <= 1000 order by id_job");
const char* const benchFields[] = {"id_job", "job", "vip", "period"};

// Besides what the links read (the event, its done flag, its period) every row carries a short note, so the snapshot
// also holds a column nobody reads.
DiaryRows largeRowsRead()
{
    DiaryRows rows;
    rows.events = largeRows;
    rows.other = DiaryRows::Text::Words;
    rows.otherLength = 10;
    return rows;
}

BenchDiary& diary()
{
    static BenchDiary instance(largeRowsRead());
    return instance;
}

// Stands in for the bound controls: re-reads its fields whenever the current record changes.
class ReadingLink : public DataLink
{
public:
    void recordChanged(Field*) override
    {
        for (const Field* field : fields) {
            QVariant value = field->value();
            benchmark::DoNotOptimize(value);
        }
    }
    std::vector<const Field*> fields;
};

void PlainLoopOverSnapshot(benchmark::State& state)
{
    diary();
    Connection connection(DiaryBackend::open(diary().connectionString()), JobTable::schema());
    const std::unique_ptr<Snapshot> rows = connection.select(allRows, {});
    int columns[std::size(benchFields)];
    for (std::size_t i = 0; i < std::size(benchFields); ++i)
        columns[i] = rows->columnIndex(QString::fromLatin1(benchFields[i]));
    for (auto _ : state) {
        for (int row = 0; row < rows->rowCount(); ++row) {
            for (const int column : columns) {
                QVariant value = rows->value(row, column);
                benchmark::DoNotOptimize(value);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * rows->rowCount());
}
BENCHMARK(PlainLoopOverSnapshot)->Repetitions(5)->Unit(benchmark::kMillisecond);

void NextThroughRecordSetWithOneLink(benchmark::State& state)
{
    diary();
    Connection connection(DiaryBackend::open(diary().connectionString()), JobTable::schema());
    RecordSet set(QStringLiteral("QJob"), connection);
    set.setSql({allRows});
    DataSource source(QStringLiteral("SQJob"), &set);
    set.open();
    ReadingLink link;
    for (const char* name : benchFields)
        link.fields.push_back(&set.fieldByName(QString::fromLatin1(name)));
    link.setDataSource(&source);
    for (auto _ : state) {
        set.first();
        while (!set.atEnd())
            set.next();
    }
    state.SetItemsProcessed(state.iterations() * set.recordCount());
}
BENCHMARK(NextThroughRecordSetWithOneLink)->Repetitions(5)->Unit(benchmark::kMillisecond);

// Edits and posts the middle row of the set the statement opens, over and over; with undo, each post is a step of
// the undo journal, as the data module's are.
void postMiddleRow(benchmark::State& state, Connection& connection, const QString& sql, bool undo = false)
{
    RecordSet set(QStringLiteral("QJob"), connection);
    set.setSql({sql});
    if (undo)
        set.setBeforePost([&connection](RecordSet&) { connection.journalNextWrite(QStringLiteral("правка")); });
    set.open();
    set.moveBy(set.recordCount() / 2);
    Field& job = set.fieldByName(QStringLiteral("job"));
    int round = 0;
    for (auto _ : state) {
        set.edit();
        job.setText(QStringLiteral("изменено %1").arg(++round));
        set.post();
    }
    state.counters["rows"] = set.recordCount();
}

// A post on a set of 1,000 or of all 100,000 rows of the same table.
void PostOneEditedRow(benchmark::State& state)
{
    diary();
    Connection connection(DiaryBackend::open(diary().connectionString()), JobTable::schema());
    postMiddleRow(state, connection, state.range(0) == largeRows ? allRows : firstThousand);
}
BENCHMARK(PostOneEditedRow)->Arg(1000)->Arg(largeRows)->Unit(benchmark::kMicrosecond);

// The same post of a row of the 1,000, without the search's index in the diary and then with it, which the post
// keeps in step.
void postWithIndex(benchmark::State& state, bool indexed)
{
    diary();
    Connection connection(DiaryBackend::open(diary().connectionString()), JobTable::schema());
    if (indexed)
        connection.searchJobs(SearchWords::of(QStringLiteral("изменено")), 1);
    postMiddleRow(state, connection, firstThousand);
}
void PostWithoutSearchIndex(benchmark::State& state)
{
    postWithIndex(state, false);
}
void PostWithSearchIndex(benchmark::State& state)
{
    postWithIndex(state, true);
}
BENCHMARK(PostWithoutSearchIndex)->Repetitions(5)->Unit(benchmark::kMicrosecond);
BENCHMARK(PostWithSearchIndex)->Repetitions(5)->Unit(benchmark::kMicrosecond);

// The same post with its step of the undo journal (the rows' images before and after, in the same transaction)
// against one without.
void postWithUndo(benchmark::State& state, bool undo)
{
    diary();
    Connection connection(DiaryBackend::open(diary().connectionString()), JobTable::schema());
    postMiddleRow(state, connection, firstThousand, undo);
}
void PostWithoutUndoStep(benchmark::State& state)
{
    postWithUndo(state, false);
}
void PostWithUndoStep(benchmark::State& state)
{
    postWithUndo(state, true);
}
BENCHMARK(PostWithoutUndoStep)->Repetitions(5)->Unit(benchmark::kMicrosecond);
BENCHMARK(PostWithUndoStep)->Repetitions(5)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    SideBySideReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("next through a record set with one link against a plain loop over its snapshot",
                        "NextThroughRecordSetWithOneLink", "PlainLoopOverSnapshot", "medians; at most 1.3");
    reporter.printRatio("a post keeping the search's index in step against one without it", "PostWithSearchIndex",
                        "PostWithoutSearchIndex", "within 1.1");
    reporter.printRatio("a post with its step of the undo journal against one without it", "PostWithUndoStep",
                        "PostWithoutUndoStep", "within 1.1");
    benchmark::Shutdown();
    return 0;
}
