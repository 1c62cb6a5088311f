#include "lunar/lunarline.h"

#include "app/quelview.h"
#include "clock/textstyle.h"
#include "lunar/lunarcalendar.h"
#include "platform/diagnostics.h"

#include <QPainter>
#include <QTextCodec>

#include <cstdio>

QTextCodec* gbk_codec = QTextCodec::codecForName("UTF-8");

QString ctr(const char* bytes)
{
    return gbk_codec->toUnicode(bytes);
}

// Today's date in the lunar calendar, in the shared text style. Read, converted
// and drawn anew at every frame, so it follows the clock past midnight.
void quelView::drawLunar(QPainter& painter)
{
    readClock();
    tagDate date;
    date.day = curTime->tm_mday;
    date.month = curTime->tm_mon + 1;
    date.year = curTime->tm_year + 1900;

    QString lunar;
    GetDayOf(date, lunar);

    applyTextStyle(painter, settings.lunarSize, settings.lunarColor);
    // The string holds UTF-8 bytes one per character; its Latin-1 form gives
    // the bytes back.
    const QByteArray bytes = lunar.toLatin1();
    painter.drawText(settings.lunarX, settings.lunarY, ctr(bytes.constData()));

    char line[48];
    std::snprintf(line, sizeof line, "\nlen:%d\n", static_cast<int>(lunar.size()));
    writeDiagnostic(line);
}
