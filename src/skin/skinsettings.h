#pragma once

#include <QString>

// Every value read from config.cfg and the skin's skin.cfg, one field per key,
// named after the key. Text and colour fields default to the null text,
// integer fields to -1; nothing is validated.
struct SkinSettings
{
    QString background;   // [General] BACKGROUND
    QString clockImage;   // [Analog] ClockImage
    QString clockCenter;  // [Analog] Clockcenter
    QString secColor;     // [Analog] SecColor
    QString minColor;     // [Analog] MinColor
    QString hourColor;    // [Analog] HourColor
    int hourHeight = -1;  // [Analog] HourHeight
    int minHeight = -1;   // [Analog] MinHeight
    int secHeight = -1;   // [Analog] SecHeight
    int hourWidth = -1;   // [Analog] HourWidth
    int minWidth = -1;    // [Analog] MinWidth
    int secWidth = -1;    // [Analog] SecWidth
    QString clockLeft;    // [Analog] ClockLeft
    QString clockTop;     // [Analog] ClockTop
    int dcX = -1;         // [Digital] DCX
    int dcY = -1;         // [Digital] DCY
    int dcSize = -1;      // [Digital] DCSize
    QString dcColor;      // [Digital] DCColor
    int dateX = -1;       // [Date] DateX
    int dateY = -1;       // [Date] DateY
    int dateSize = -1;    // [Date] DateSize
    QString dateColor;    // [Date] DateColor
    int lunarX = -1;      // [Lunar] LunarX
    int lunarY = -1;      // [Lunar] LunarY
    int lunarSize = -1;   // [Lunar] LunarSize
    QString lunarColor;   // [Lunar] LunarColor
    int notifyX = -1;     // [Notify] NotifyX
    int notifyY = -1;     // [Notify] NotifyY
    int notifySize = -1;  // [Notify] NotifySize
    QString notifyColor;  // [Notify] NotifyColor
    QString notifyWord0;  // [Notify] NotifyWord0
    QString notifyWord1;  // [Notify] NotifyWord1
    int timeOut = -1;     // config.cfg [General] TimeOut, milliseconds
};
