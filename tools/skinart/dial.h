#pragma once

#include <QColor>
#include <QImage>

#include <functional>

class QPainter;

// One ring of marks around the dial, e.g. the 60 minute ticks.
struct DialMark {
    enum Shape { Bar, Dot };
    Shape shape = Bar;
    qreal inner = 0;  // bar: inner end; dot: distance of its centre
    qreal outer = 0;  // bar: outer end; unused for dots
    qreal width = 1;  // bar: stroke width; dot: diameter
    QColor color;
};

// Everything that tells one clock face from another. The hands are not part
// of the face: the lock screen draws them itself, from the image's centre.
struct DialStyle {
    int size = 151;   // square image; odd so the centre is a pixel centre
    qreal radius = 74.5;
    QColor centreFill, edgeFill;
    QColor rim;
    qreal rimWidth = 0;
    QColor innerRing;  // invalid colour: no inner ring
    qreal innerRingRadius = 0;
    DialMark minute;   // the 48 ticks between the hour marks
    DialMark hour;     // 1, 2, 4, 5, 7, 8, 10, 11 o'clock
    DialMark quarter;  // 12, 3, 6 and 9 o'clock
};

// Draws the face on a transparent square, so only the round dial covers
// the background.
QImage drawDial(const DialStyle& style);

// A transparent size x size image that `draw` paints, antialiased, with the
// origin at the image's centre. Faces and caps have odd sizes: the lock
// screen pivots the hands on pixel (size/2, size/2), whose centre that is.
QImage drawCentred(int size, const std::function<void(QPainter&)>& draw);
