// The lunar date conversion, extended from the original 1921-2020 table to the
// dates 1900-01-31 .. 2100-12-31 with the table of lunaryearinfo.cpp.
//
// What the extension changes in the original 1921-2020 conversion:
//  - lunarYearInfo starts with lunar year 1900 (201 words, 1900..2100; the
//    words for 1921..2020 are the 100 words of the historical table), so the
//    day number counts from 1900-01-31, the first day of lunar year 1900, and
//    step 3 sets wCurYear = 1900 + m;
//  - the day number uses the full Gregorian leap-year rule (1900 and 2100 are
//    not leap years). Between 1901 and 2099 it is the original day-number
//    formula's "every fourth year" rule, shifted by the length of the lunar
//    years 1900..1920, so every date of the original table's span
//    1921-02-08 .. 2021-02-11 gets exactly the original 1921-2020 conversion's
//    result (tests/lunar checks this date by date);
//  - the input is checked before any arithmetic (see the choice below), and
//    every table index is checked before it is used; nothing relies on the
//    original table's limits ("leap field 0 or 2..10", "10 or 11 characters"):
//    the data after 2020 has a leap eleventh month (2033, "闰十一月",
//    12 characters).
//
// Choice for inputs that are not a date of the supported range: the text is
// empty (the previous content of the output is replaced all the same). That
// covers dates before 1900-01-31 or after 2100-12-31, and every tagDate that is
// not a real Gregorian calendar date - month outside 1..12, day 0 or below, a
// day past the end of its month such as 2021-02-30 or 1900-02-29 - whatever
// int values its fields hold. Empty text is what the lunar line draws then.

#include "lunar/lunarcalendar.h"

#include "lunar/lunaryearinfo.h"

#include <QLatin1String>

namespace {

// The name tables of the lunar date text; every entry is NUL-terminated UTF-8.
static_assert(sizeof("甲") == 4, "the source must be compiled with the UTF-8 execution character set");

const char* const stemNames[10] = {
    "甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸",
};

const char* const branchNames[12] = {
    "子", "丑", "寅", "卯", "辰", "巳", "午", "未", "申", "酉", "戌", "亥",
};

const char* const animalNames[12] = {
    "鼠", "牛", "虎", "兔", "龙", "蛇", "马", "羊", "猴", "鸡", "狗", "猪",
};

// Days of a common year before the first day of month index + 1.
const int daysBeforeMonth[12] = {
    0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334,
};

const char* const lunarMonthNames[13] = {
    "*", "正", "二", "三", "四", "五", "六", "七", "八", "九", "十", "十一", "腊",
};

const char* const lunarDayNames[31] = {
    "*",
    "初一", "初二", "初三", "初四", "初五", "初六", "初七", "初八", "初九", "初十",
    "十一", "十二", "十三", "十四", "十五", "十六", "十七", "十八", "十九", "二十",
    "廿一", "廿二", "廿三", "廿四", "廿五", "廿六", "廿七", "廿八", "廿九", "三十",
};

constexpr int firstYear = lunarYearInfoFirstYear;  // 1900
constexpr int lastYear = 2100;
static_assert(firstYear == 1900, "the day number below counts from 1900-01-31");
static_assert(lunarYearInfoCount == lastYear - firstYear + 1, "one table word per lunar year");

// Gregorian leap-year rule; y is in firstYear..lastYear when called.
bool isLeapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Number of leap years among firstYear .. y - 1; y is in firstYear..lastYear.
int leapYearsBefore(int y)
{
    const int through = y - 1;
    const int before = firstYear - 1;
    return (through / 4 - through / 100 + through / 400) - (before / 4 - before / 100 + before / 400);
}

// True for a real calendar date from 1900-01-31 through 2100-12-31. Only
// comparisons and small arithmetic on already bounded values: no overflow for
// any int fields.
bool isSupportedDate(const tagDate& date)
{
    if (date.year < firstYear || date.year > lastYear)
        return false;
    if (date.month < 1 || date.month > 12)
        return false;
    if (date.day < 1)
        return false;
    static const int daysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int monthLength = daysInMonth[date.month - 1];
    if (date.month == 2 && isLeapYear(date.year))
        monthLength = 29;
    if (date.day > monthLength)
        return false;
    // Lunar year 1900 begins on 1900-01-31.
    if (date.year == firstYear && date.month == 1 && date.day < 31)
        return false;
    return true;
}

} // namespace

void GetDayOf(const tagDate& date, QString& strOut)
{
    // The working values of the conversion. Every call sets each of them before
    // reading it, so no result depends on an earlier call.
    static int wCurYear;
    static int wCurMonth;
    static int wCurDay;
    static int nTheDate;
    static int nIsEnd;
    static int m;
    static int k;
    static int n;
    static int i;
    static int nBit;

    strOut.clear();
    if (!isSupportedDate(date))
        return;

    // 1. Day number: 1 is 1900-01-31, the first day of lunar year 1900.
    wCurYear = date.year;
    wCurMonth = date.month;
    nTheDate = 365 * (wCurYear - firstYear) + leapYearsBefore(wCurYear)
        + daysBeforeMonth[wCurMonth - 1] + date.day - 30;
    if (isLeapYear(wCurYear) && wCurMonth > 2)
        nTheDate = nTheDate + 1;

    // 2. Scan the months, year by year, until the day number falls inside one.
    m = 0;
    nIsEnd = 0;
    k = 11;
    n = 0;
    while (nIsEnd != 1) {
        if (m < 0 || static_cast<unsigned int>(m) >= lunarYearInfoCount)
            return;  // past the table: cannot happen for a supported date
        const unsigned int word = lunarYearInfo[m];
        k = word > 4094 ? 12 : 11;
        for (n = k; n >= 0; n--) {
            // Bit n of the word: the word halved n times, modulo 2, done as
            // one shift of i places (halving in a loop took most of the
            // conversion's time).
            i = n;
            nBit = static_cast<int>((word >> i) & 1u);
            if (nTheDate <= 29 + nBit) {
                nIsEnd = 1;
                break;
            }
            nTheDate = nTheDate - 29 - nBit;
        }
        if (nIsEnd == 1)
            break;
        m = m + 1;
    }

    // 3. Lunar date.
    wCurYear = firstYear + m;
    wCurDay = nTheDate;
    const int p = k - n + 1;  // position of the month in the lunar year, 1 = first
    if (k == 11) {
        wCurMonth = p;
    } else {
        const int leapField = static_cast<int>(lunarYearInfo[m] / 65536);
        if (p == leapField + 1)
            wCurMonth = 1 - p;
        else if (p > leapField + 1)
            wCurMonth = p - 1;
        else
            wCurMonth = p;
    }

    // Every index is checked before use; with the committed table all of them
    // hold for every supported date (tests/lunar checks the whole range).
    const int monthIndex = wCurMonth < 1 ? -wCurMonth : wCurMonth;
    if (monthIndex < 1 || monthIndex > 12 || wCurDay < 1 || wCurDay > 30)
        return;

    // 4. Text, as UTF-8 bytes one per character: assigned, then appended.
    const int c = (wCurYear - 4) % 60;  // wCurYear >= 1900, so c >= 0
    strOut = QLatin1String(animalNames[c % 12]);
    strOut += QLatin1String("(");
    strOut += QLatin1String(stemNames[c % 10]);
    strOut += QLatin1String(branchNames[c % 12]);
    strOut += QLatin1String(")年");
    if (wCurMonth < 1) {
        strOut += QLatin1String("闰");
        strOut += QLatin1String(lunarMonthNames[-wCurMonth]);
    } else {
        strOut += QLatin1String(lunarMonthNames[wCurMonth]);
    }
    strOut += QLatin1String("月");
    strOut += QLatin1String(lunarDayNames[wCurDay]);
}
