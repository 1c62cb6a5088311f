#pragma once

#include <QColor>
#include <QImage>

// The round cap the lock screen centres over the pivot of the hands.
struct CapStyle {
    int size = 21;         // odd, like the face, so both centres coincide
    QColor light, shade;   // lit upper left, shaded lower right
    QColor outline;
    qreal outlineWidth = 1;
    QColor dot;            // small centre dot; invalid colour: none
    qreal dotRadius = 0;
};

QImage drawCap(const CapStyle& style);
