#include "lunardatereference.h"

#include <lunar-date/lunar-date.h>

#include <cstdlib>

namespace {

// One LunarDate for the whole process, never released: liblunar-date 3.0.1
// leaks the small blocks its instances allocate (and lunar_date_free() does
// not release the object), so an instance per use would make LeakSanitizer
// report the library. Kept in a static, it stays reachable.
LunarDate* sharedDate()
{
    static LunarDate* const date = lunar_date_new();
    return date;
}

} // namespace

ReferenceLunarDate referenceLunarDate(int year, int month, int day)
{
    ReferenceLunarDate result;
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return result;
    LunarDate* date = sharedDate();
    GError* error = nullptr;
    lunar_date_set_solar_date(date, static_cast<GDateYear>(year), static_cast<GDateMonth>(month),
                              static_cast<GDateDay>(day), 0, &error);
    if (error != nullptr) {
        g_error_free(error);
        return result;
    }
    // "%(nian)|%(yue)|%(ri)": lunar year, month (prefixed with "*" in a leap
    // month) and day, in decimal digits.
    gchar* text = lunar_date_strftime(date, "%(nian)|%(yue)|%(ri)");
    if (text == nullptr)
        return result;
    const char* p = text;
    char* end = nullptr;
    result.year = static_cast<int>(std::strtol(p, &end, 10));
    bool ok = end != p && *end == '|';
    if (ok) {
        p = end + 1;
        if (*p == '*') {
            result.leap = true;
            ++p;
        }
        result.month = static_cast<int>(std::strtol(p, &end, 10));
        ok = end != p && *end == '|';
    }
    if (ok) {
        p = end + 1;
        result.day = static_cast<int>(std::strtol(p, &end, 10));
        ok = end != p && *end == '\0';
    }
    g_free(text);
    result.valid = ok && result.month >= 1 && result.month <= 12 && result.day >= 1 && result.day <= 30;
    return result;
}
