// Translating a chain of & against a plain list of the same length: both should grow linearly with the tokens,
// which the fitted complexity of each shows side by side.
#include "engine/Dialect.h"

#include <benchmark/benchmark.h>

namespace {

QString chain(int operands, const QString& joiner)
{
    return QStringLiteral("select 'a'") + (joiner + QStringLiteral("'a'")).repeated(operands - 1);
}

void AmpersandChain(benchmark::State& state)
{
    const QString text = chain(static_cast<int>(state.range(0)), QStringLiteral(" & "));
    for (auto _ : state)
        benchmark::DoNotOptimize(Dialect::translate(text));
    state.SetComplexityN(state.range(0));
}

void CommaList(benchmark::State& state)
{
    const QString text = chain(static_cast<int>(state.range(0)), QStringLiteral(", "));
    for (auto _ : state)
        benchmark::DoNotOptimize(Dialect::translate(text));
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(AmpersandChain)->RangeMultiplier(10)->Range(100, 100000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(CommaList)->RangeMultiplier(10)->Range(100, 100000)->Unit(benchmark::kMillisecond)->Complexity();

BENCHMARK_MAIN();
