#include "SideBySide.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

SideBySideReporter::SideBySideReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

void SideBySideReporter::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs) {
        if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
            const auto iterations = static_cast<double>(run.iterations);
            m_runs[run.run_name.function_name].push_back(
                {run.real_accumulated_time / iterations, run.cpu_accumulated_time / iterations});
        }
    }
    ConsoleReporter::ReportRuns(runs);
}

std::optional<SideBySideReporter::Seconds> SideBySideReporter::seconds(const std::string& function) const
{
    const auto found = m_runs.find(function);
    if (found == m_runs.end())
        return std::nullopt;
    std::vector<double> real;
    std::vector<double> cpu;
    for (const Seconds& run : found->second) {
        real.push_back(run.real);
        cpu.push_back(run.cpu);
    }
    return Seconds{median(real), median(cpu)};
}

void SideBySideReporter::printRatio(const char* what, const std::string& measured, const std::string& bare,
                                    const char* bound) const
{
    const std::optional<Seconds> a = seconds(measured);
    const std::optional<Seconds> b = seconds(bare);
    if (a && b)
        std::printf("%s: %.2f real time, %.2f CPU time (%s)\n", what, a->real / b->real, a->cpu / b->cpu, bound);
}
