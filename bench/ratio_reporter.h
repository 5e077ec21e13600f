#pragma once

// The ratio lines of the benchmarks. Every benchmark program measures its paths against a
// reference in the same run and prints one line per ratio, in one form:
//
//     <name> / <reference> = <ratio>
//
// (names without spaces, the ratio with three significant digits; below 1 the measured
// path is the faster). scripts/bench collects exactly these lines into its summary, so a
// program prints its ratios through print_ratio_line and nothing else in that form.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

// One ratio line; a space in a name becomes '_'.
inline void print_ratio_line(std::string name, std::string reference, double ratio)
{
    std::replace(name.begin(), name.end(), ' ', '_');
    std::replace(reference.begin(), reference.end(), ' ', '_');
    std::printf("%s / %s = %.3g\n", name.c_str(), reference.c_str(), ratio);
    std::fflush(stdout);
}

// The ratio of two measurements of one run (times, sizes); nothing when the reference is
// not positive.
inline void print_ratio_line(const std::string& name, const std::string& reference, double mine, double theirs)
{
    if (theirs > 0) print_ratio_line(name, reference, mine / theirs);
}

// The console reporter of programs whose references are benchmarks of the same run: it
// keeps each run's time per iteration (the median when repetitions are asked for) and its
// counters, and prints the ratios asked for once the runs are done.
class Ratio_Reporter : public benchmark::ConsoleReporter {
public:
    Ratio_Reporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            const std::string name = r.run_name.str();
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (!median && (r.run_type != Run::RT_Iteration || m_median.count(name) != 0)) continue;
            if (median) m_median.insert(name);
            m_times[name] = r.GetAdjustedRealTime();
            for (const auto& [key, counter] : r.counters) m_counters[name][key] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // mine / reference of two runs' times, when both ran (a filter may leave either out).
    void print_ratio(const std::string& mine, const std::string& reference) const
    {
        const auto m = m_times.find(mine), r = m_times.find(reference);
        if (m != m_times.end() && r != m_times.end()) print_ratio_line(mine, reference, m->second, r->second);
    }

    // A run that measures its reference itself and keeps the ratio in a counter.
    void print_counter(const std::string& run, const std::string& counter, const std::string& reference) const
    {
        const auto c = m_counters.find(run);
        if (c == m_counters.end()) return;
        const auto v = c->second.find(counter);
        if (v != c->second.end()) print_ratio_line(run, reference, v->second);
    }

    // The names of the runs reported, in name order.
    std::vector<std::string> runs() const
    {
        std::vector<std::string> names;
        for (const auto& [name, time] : m_times) names.push_back(name);
        return names;
    }

private:
    std::map<std::string, double> m_times;
    std::map<std::string, std::map<std::string, double>> m_counters;
    std::set<std::string> m_median;
};

// The main of a program whose references are benchmarks of its own: runs what the command
// line selects, then prints mine / reference for each pair of names that ran.
inline int run_with_ratios(int argc, char** argv, const std::vector<std::pair<std::string, std::string>>& pairs)
{
    benchmark::Initialize(&argc, argv);
    Ratio_Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& [mine, reference] : pairs) reporter.print_ratio(mine, reference);
    benchmark::Shutdown();
    return 0;
}
