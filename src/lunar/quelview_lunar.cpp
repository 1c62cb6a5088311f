#include "app/quelview.h"
#include "clock/textstyle.h"
#include "lunar/lunarcalendar.h"
#include "lunar/lunarline.h"
#include "platform/diagnostics.h"

#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstdio>

QString quelView::lunarToday()
{
    readClock();
    tagDate date;
    date.day = curTime->tm_mday;
    date.month = curTime->tm_mon + 1;
    // tm_year + 1900 overflows int for the last years the C library breaks
    // down; any year past INT_MAX is as far outside the table as INT_MAX.
    date.year = int(std::min<long long>(curTime->tm_year + 1900LL, INT_MAX));
    if (!lunarDay.valid || lunarDay.year != date.year || lunarDay.month != date.month || lunarDay.day != date.day) {
        GetDayOf(date, lunarDay.text);
        lunarDay.year = date.year;
        lunarDay.month = date.month;
        lunarDay.day = date.day;
        lunarDay.valid = true;
    }
    return lunarDay.text;
}

void quelView::writeLunarLength(const QString& lunar)
{
    char line[48];
    std::snprintf(line, sizeof line, "\nlen:%d\n", static_cast<int>(lunar.size()));
    writeDiagnostic(line);
}

// Today's date in the lunar calendar, in the shared text style. Read, converted
// and drawn anew at every frame that draws it, so it follows the clock past
// midnight.
void quelView::drawLunar(QPainter& painter)
{
    const QString lunar = lunarToday();
    drawLunarText(painter, lunar);
    writeLunarLength(lunar);
}

void quelView::drawLunarText(QPainter& painter, const QString& lunar)
{
    applyTextStyle(painter, settings.lunarSize, settings.lunarColor);
    // The string holds UTF-8 bytes one per character; its Latin-1 form gives
    // the bytes back.
    const QByteArray bytes = lunar.toLatin1();
    lunarLine.draw(painter, settings.lunarX, settings.lunarY, ctr(bytes.constData()));
}
