#pragma once

#include <string>
#include <vector>

// The statistics every benchmark figure is reported with: the median and the
// range of its repetitions.
double medianOf(std::vector<double> values);
// Nearest-rank percentile: the smallest value with at least p% of the values
// at or below it.
double percentileOf(std::vector<double> values, double p);

// One machine-readable line for scripts/bench:
//   RESULT name unit median min max count [extra...]
void printResultLine(const std::string& name, const std::string& unit, const std::vector<double>& values,
                     const std::string& extra = {});
