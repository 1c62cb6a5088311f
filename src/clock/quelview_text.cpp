#include "app/quelview.h"

#include "clock/textstyle.h"

#include <QPainter>

#include <cstdio>

void quelView::drawDigital(QPainter& painter)
{
    readClock();
    applyTextStyle(painter, settings.dcSize, settings.dcColor);
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", curTime->tm_hour, curTime->tm_min, curTime->tm_sec);
    timeLine.draw(painter, settings.dcX, settings.dcY, QString::fromLatin1(text));
}

QString quelView::dateText()
{
    readClock();
    // Wider than int: the C library breaks clocks down up to tm_year ==
    // INT_MAX, where adding 1900 in int would overflow.
    const long long year = curTime->tm_year + 1900LL;
    const int month = curTime->tm_mon + 1;
    const int day = curTime->tm_mday;
    char text[64];
    std::snprintf(text, sizeof text, "%4lld/%02d/%02d", year, month, day);
    return QString::fromLatin1(text);
}

void quelView::drawDate(QPainter& painter)
{
    const QString text = dateText();
    applyTextStyle(painter, settings.dateSize, settings.dateColor);
    dateLine.draw(painter, settings.dateX, settings.dateY, text);
}

const QString& quelView::notifyText() const
{
    return unlockArmed ? settings.notifyWord1 : settings.notifyWord0;
}

void quelView::drawNotify(QPainter& painter)
{
    applyTextStyle(painter, settings.notifySize, settings.notifyColor);
    notifyLine.draw(painter, settings.notifyX, settings.notifyY, notifyText());
}
