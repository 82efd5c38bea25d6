#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

// The console's table, and then figures given as the ratio of two benchmarks measured side by side in the same run:
// seconds per iteration, the median of a benchmark's repetitions when it has several.
class SideBySideReporter : public benchmark::ConsoleReporter
{
public:
    // Coloured only on a terminal, as the library's own reporter is by default.
    SideBySideReporter();

    struct Seconds
    {
        double real = 0;
        double cpu = 0;
    };

    void ReportRuns(const std::vector<Run>& runs) override;

    // The seconds per iteration of the benchmark of that function name; nothing when it did not run.
    std::optional<Seconds> seconds(const std::string& function) const;
    // Prints "<what>: <r> real time, <c> CPU time (<bound>)", measured against bare, when both ran.
    void printRatio(const char* what, const std::string& measured, const std::string& bare, const char* bound) const;

private:
    std::map<std::string, std::vector<Seconds>> m_runs; // one entry a repetition
};
