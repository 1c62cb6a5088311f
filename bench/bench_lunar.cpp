// GetDayOf, ns per call, over 4096 dates spread evenly across its whole range
// 1900-01-31 .. 2100-12-31 and visited in a shuffled order, so neither the
// order of the dates nor the cost's growth with the year (the conversion
// scans the lunar months from 1900 onwards) favours the figure. Also the
// figure at the frame's own date, and at both ends of the range.
#include "benchsummary.h"

#include "lunar/lunarcalendar.h"

#include <QDate>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

std::vector<tagDate> spreadDates()
{
    const qint64 first = QDate(1900, 1, 31).toJulianDay();
    const qint64 last = QDate(2100, 12, 31).toJulianDay();
    constexpr int count = 4096;
    std::vector<tagDate> dates;
    dates.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QDate d = QDate::fromJulianDay(first + (last - first) * i / (count - 1));
        dates.push_back({ d.day(), d.month(), d.year() });
    }
    // A fixed shuffle (a linear congruential generator), the same every run.
    uint32_t state = 12345;
    for (int i = count - 1; i > 0; --i) {
        state = state * 1664525u + 1013904223u;
        std::swap(dates[size_t(i)], dates[state % uint32_t(i + 1)]);
    }
    return dates;
}

void spread(benchmark::State& state)
{
    const std::vector<tagDate> dates = spreadDates();
    QString text;
    size_t next = 0;
    for (auto _ : state) {
        GetDayOf(dates[next], text);
        next = (next + 1) & (dates.size() - 1);
        benchmark::DoNotOptimize(text.constData());
    }
}

void oneDate(benchmark::State& state)
{
    const tagDate date = { int(state.range(0)), int(state.range(1)), int(state.range(2)) };
    QString text;
    for (auto _ : state) {
        GetDayOf(date, text);
        benchmark::DoNotOptimize(text.constData());
    }
}

} // namespace

BENCHMARK(spread)->Name("getdayof_spread")->Unit(benchmark::kNanosecond);
BENCHMARK(oneDate)->Name("getdayof")->Args({ 31, 1, 1900 })->Args({ 7, 3, 2026 })->Args({ 31, 12, 2100 })
        ->Unit(benchmark::kNanosecond);

int main(int argc, char** argv)
{
    runBenchmarks(argc, argv);
    return 0;
}
