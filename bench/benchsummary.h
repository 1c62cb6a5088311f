#pragma once

#include "benchstats.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// The per-repetition times of every benchmark that ran, and their median and
// range: Google Benchmark's own aggregates give mean and deviation, but the
// figures reported are medians with the spread of the repetitions.
struct BenchFigure
{
    std::string unit;
    std::vector<double> cpu;   // CPU time per iteration, one entry per repetition
    std::vector<double> real;  // wall time per iteration, one entry per repetition
};

class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& reports) override;
    const std::map<std::string, BenchFigure>& figures() const { return m_figures; }

private:
    std::map<std::string, BenchFigure> m_figures;
};

// One machine-readable line per figure, for scripts/bench:
//   RESULT name unit median min max real_median repetitions
// Times are CPU time of the process per iteration (immune to the time the
// shared cores spend on other work); real_median is the wall-clock median.
void printResult(const std::string& name, const BenchFigure& figure);

// Runs every benchmark registered with the arguments given (Google
// Benchmark's own flags) and returns the figures; repetitions default to 15.
std::map<std::string, BenchFigure> runBenchmarks(int argc, char** argv);
