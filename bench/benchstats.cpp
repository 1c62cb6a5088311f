#include "benchstats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

double medianOf(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double percentileOf(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t rank = static_cast<size_t>(std::ceil(p / 100.0 * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

void printResultLine(const std::string& name, const std::string& unit, const std::vector<double>& values,
                     const std::string& extra)
{
    double low = 0, high = 0;
    if (!values.empty()) {
        const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
        low = *lo;
        high = *hi;
    }
    std::printf("RESULT %s %s %.4g %.4g %.4g %zu%s%s\n", name.c_str(), unit.c_str(), medianOf(values), low, high,
                values.size(), extra.empty() ? "" : " ", extra.c_str());
    std::fflush(stdout);
}
