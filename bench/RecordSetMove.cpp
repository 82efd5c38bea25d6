// Moving through a large record set with a control attached against a bare loop over the same snapshot, and a post
// of one row on a large set against a small one: both figures come out as ratios of benchmarks run side by side.
#include "Connection.h"
#include "DataLink.h"
#include "DataSource.h"
#include "RecordSet.h"
#include "Schema.h"
#include "Snapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <memory>
#include <vector>
#include <stdexcept>

namespace {

constexpr int largeRows = 100000;
const QString connectionString =
    QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=db1.mdb;Persist Security Info=False");
const QString allRows = QStringLiteral("select * from job order by id_job");
const QString firstThousand = QStringLiteral("select * from job where id_job <= 1000 order by id_job");
const char* const benchFields[] = {"id_job", "job", "vip", "period"};

// A diary of largeRows rows, written in one transaction, in a temporary folder made current.
class LargeDiary
{
public:
    LargeDiary()
    {
        if (!m_dir.isValid())
            throw std::runtime_error("no temporary folder");
        Schema::createEmptyDatabase(m_dir.filePath(QStringLiteral("db1.mdb")));
        QDir::setCurrent(m_dir.path());
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(m_dir.filePath(QStringLiteral("db1.mdb"))).constData(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "insert into job (job, period, vip, other) values (?, ?, ?, ?)", -1, &insert, nullptr);
        for (int i = 0; i < largeRows; ++i) {
            const QByteArray job = QStringLiteral("Мероприятие номер %1").arg(i).toUtf8();
            sqlite3_bind_text(insert, 1, job.constData(), static_cast<int>(job.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, "ежедневное", -1, SQLITE_STATIC);
            sqlite3_bind_int(insert, 3, i % 2);
            sqlite3_bind_text(insert, 4, "примечание", -1, SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

private:
    QTemporaryDir m_dir;
};

LargeDiary& diary()
{
    static LargeDiary instance;
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
    Connection connection(connectionString);
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
BENCHMARK(PlainLoopOverSnapshot)->Unit(benchmark::kMillisecond);

void NextThroughRecordSetWithOneLink(benchmark::State& state)
{
    diary();
    Connection connection(connectionString);
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
BENCHMARK(NextThroughRecordSetWithOneLink)->Unit(benchmark::kMillisecond);

// Edits and posts the middle row of a set of 1,000 or of all 100,000 rows of the same table.
void PostOneEditedRow(benchmark::State& state)
{
    diary();
    Connection connection(connectionString);
    RecordSet set(QStringLiteral("QJob"), connection);
    set.setSql({state.range(0) == largeRows ? allRows : firstThousand});
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
BENCHMARK(PostOneEditedRow)->Arg(1000)->Arg(largeRows)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
