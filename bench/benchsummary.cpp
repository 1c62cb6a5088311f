#include "benchsummary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void SummaryReporter::ReportRuns(const std::vector<Run>& reports)
{
    for (const Run& run : reports) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred)
            continue;
        BenchFigure& figure = m_figures[run.run_name.str()];
        figure.unit = benchmark::GetTimeUnitString(run.time_unit);
        figure.cpu.push_back(run.GetAdjustedCPUTime());
        figure.real.push_back(run.GetAdjustedRealTime());
    }
    ConsoleReporter::ReportRuns(reports);
}

void printResult(const std::string& name, const BenchFigure& figure)
{
    const auto [low, high] = std::minmax_element(figure.cpu.begin(), figure.cpu.end());
    std::printf("RESULT %s %s %.4g %.4g %.4g %.4g %zu\n", name.c_str(), figure.unit.c_str(),
                medianOf(figure.cpu), *low, *high, medianOf(figure.real), figure.cpu.size());
}

std::map<std::string, BenchFigure> runBenchmarks(int argc, char** argv)
{
    // Repetitions unless the caller chose their number.
    std::vector<char*> args(argv, argv + argc);
    static char repetitions[] = "--benchmark_repetitions=15";
    bool chosen = false;
    for (char* arg : args)
        chosen = chosen || std::strncmp(arg, "--benchmark_repetitions", 23) == 0;
    if (!chosen)
        args.push_back(repetitions);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return {};
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // The console reporter may end on a colour reset: start on a fresh line.
    std::printf("\n");
    for (const auto& [name, figure] : reporter.figures())
        printResult(name, figure);
    return reporter.figures();
}
