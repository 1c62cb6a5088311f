#pragma once

// The packed lunar year table, extended from the original 1921-2020 table to
// the lunar years 1900..2100. Defined in lunaryearinfo.cpp, which is generated
// by tools/lunar-table/generate.js; the words for 1921..2020 are the 100 words
// of the historical table.

// First lunar year of the table; its first day is 1900-01-31.
constexpr int lunarYearInfoFirstYear = 1900;
// Number of words: one per lunar year 1900..2100.
constexpr unsigned int lunarYearInfoCount = 201;

extern const unsigned int lunarYearInfo[lunarYearInfoCount];
