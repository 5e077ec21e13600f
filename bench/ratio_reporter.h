#pragma once

// The console reporter of the benchmarks that measure against a reference in the same run:
// it keeps every run's time per iteration, and prints "mine / reference = ratio" at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class Ratio_Reporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints the ratio of two runs' times when both ran (a filter may leave either out).
    void print_ratio(const std::string& mine, const std::string& reference) const
    {
        const auto m = times.find(mine), r = times.find(reference);
        if (m != times.end() && r != times.end() && r->second > 0)
            std::printf("%s / %s = %.3f\n", mine.c_str(), reference.c_str(), m->second / r->second);
    }
};
