#include "PeriodList.h"

#include "diary/Queries.h"
#include "engine/Connection.h"

#include <malloc.h>

namespace {

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

} // namespace

namespace PeriodList {

QString period()
{
    return QStringLiteral("ежедневное");
}

QString text()
{
    return Queries::jobListForPeriod().join(QLatin1Char(' ')).replace(QStringLiteral(":period"), QStringLiteral("?"));
}

DiaryRows rows()
{
    DiaryRows rows;
    rows.events = rowCount;
    rows.periods = {period()};
    rows.job = DiaryRows::Text::Words;
    rows.jobLength = 40;
    rows.other = DiaryRows::Text::Words;
    rows.otherLength = 100;
    rows.dates = true;
    rows.planned = true;
    rows.reminders = true;
    rows.scattered = true;
    return rows;
}

void openSnapshots(benchmark::State& state, Connection& connection)
{
    const QString query = text();
    const QList<QVariant> parameters{period()};
    for (auto _ : state) {
        const auto snapshot = connection.select(query, parameters);
        if (snapshot->rowCount() != rowCount)
            state.SkipWithError("the list query lost rows");
        benchmark::DoNotOptimize(snapshot.get());
    }
    const size_t before = heapInUse();
    const auto kept = connection.select(query, parameters);
    const size_t after = heapInUse();
    state.counters["bytes_per_row"] = static_cast<double>(after - before) / kept->rowCount();
    state.counters["rows"] = kept->rowCount();
}

} // namespace PeriodList
