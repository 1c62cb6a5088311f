#pragma once

// A second source for the lunar calendar, for the tests only: Debian's
// liblunar-date (pkg-config module lunar-date-3.0, package liblunar-date-dev).
// It is table based and independent of tools/lunar-table's lunar-javascript.

struct ReferenceLunarDate
{
    bool valid = false;  // false where the library rejects the date
    int year = 0;        // lunar year, e.g. 2020
    int month = 0;       // lunar month 1..12
    bool leap = false;   // true in a leap month (the one after `month`)
    int day = 0;         // lunar day 1..30
};

// The lunar date liblunar-date gives for the Gregorian date year-month-day.
// Not reentrant: call it from one thread.
ReferenceLunarDate referenceLunarDate(int year, int month, int day);
