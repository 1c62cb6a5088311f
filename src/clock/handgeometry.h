#pragma once

#include "skin/clockplacement.h"

#include <QtGlobal>

// The widest pen the toolkit draws: it refuses 32768 pixels or more and
// keeps the previous pen's width instead.
constexpr int WidestPen = 32767;

// The pen width a hand is drawn with for its width setting. A missing width
// (-1) draws one pixel wide: the toolkit refuses negative widths too.
inline int handPenWidth(int setting)
{
    return setting < 0 ? 1 : qMin(setting, WidestPen);
}

// y of a hand's free end standing straight up from a pivot at y, before it
// is turned: computed wide, since a length near the limits of int would
// overflow, and clamped to what is drawn.
inline int handUprightEndY(int pivotY, int length)
{
    return clampToDrawable(qint64(pivotY) - length);
}
