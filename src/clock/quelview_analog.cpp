#include "app/quelview.h"

#include "clock/SpeciOperation.h"
#include "clock/handgeometry.h"
#include "clock/textstyle.h"
#include "skin/settingcolour.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

// The face, the hour, minute and second hands from one clock reading, then
// the cap. Hands are lines from the pivot to the free end, turned from the
// upright position by the hand's angle.
void quelView::drawAnalog(QPainter& painter)
{
    drawFace(painter);
    drawHands(painter);
}

void quelView::drawFace(QPainter& painter)
{
    // Only the part of the face that can show was kept; it goes where it lies in the face.
    painter.drawPixmap(clockX + faceOffset.x(), clockY + faceOffset.y(), clockPixmap, 0, 0, -1, -1);
}

void quelView::drawHands(QPainter& painter)
{
    readClock();
    drawHands(painter, handLines());
}

quelView::HandLines quelView::handLines() const
{
    const int h = curTime->tm_hour;
    const int m = curTime->tm_min;
    const int s = curTime->tm_sec;

    const int faceWidth = faceSize.width();
    const int faceHeight = faceSize.height();
    const int pivotX = clampToDrawable(qint64(clockX) + faceWidth / 2);
    const int pivotY = clampToDrawable(qint64(clockY) + faceHeight / 2);

    struct Hand
    {
        const QString& colour;
        int width;
        int length;
        int x;
        int y;
        double angle;
    };
    // The hour is not reduced modulo 12, the minute term divides by 2.3, and
    // the minute hand steps a degree every 13 seconds: that is the clock's look.
    const Hand hands[] = {
        { settings.hourColor, settings.hourWidth, settings.hourHeight, pivotX, pivotY, h * 30.0 + m / 2.3 },
        { settings.minColor, settings.minWidth, settings.minHeight, centerX, centerY, m * 6.0 + (s / 13) },
        { settings.secColor, settings.secWidth, settings.secHeight, centerX, centerY, s * 6.0 },
    };

    HandLines lines;
    SpeciOperation rotation;
    for (int i = 0; i < 3; ++i) {
        const Hand& hand = hands[i];
        int endX = hand.x;
        int endY = handUprightEndY(hand.y, hand.length);
        rotation.rotate(static_cast<float>(hand.angle), static_cast<float>(hand.x), static_cast<float>(hand.y));
        rotation.Change(endX, endY, 3);
        lines[i] = { QLine(hand.x, hand.y, endX, endY), handPenWidth(hand.width), colourFromSetting(hand.colour) };
    }
    return lines;
}

void quelView::drawHands(QPainter& painter, const HandLines& hands)
{
    QPen pen;
    for (const HandLine& hand : hands) {
        pen.setColor(hand.colour);
        pen.setWidth(hand.penWidth);
        painter.setPen(pen);
        painter.drawLine(hand.line);
    }

    const QPoint cap = capCorner(clockX, clockY, faceSize, capSize) + capOffset;
    painter.drawPixmap(cap.x(), cap.y(), centerPixmap, 0, 0, -1, -1);
    handsShown = handsArea(hands);
}

QRect quelView::handsArea(const HandLines& hands) const
{
    // A line's square ends reach half its pen beyond them; a pixel more for
    // the rounding, and the coordinates kept where a QRect cannot overflow.
    const auto within = [](qint64 v) { return int(std::clamp<qint64>(v, -(1 << 20), 1 << 20)); };
    QRect area;
    for (const HandLine& hand : hands) {
        const qint64 margin = std::max(hand.penWidth, 1) / 2 + 2;
        const QLine& line = hand.line;
        area |= QRect(QPoint(within(qint64(std::min(line.x1(), line.x2())) - margin),
                             within(qint64(std::min(line.y1(), line.y2())) - margin)),
                      QPoint(within(qint64(std::max(line.x1(), line.x2())) + margin),
                             within(qint64(std::max(line.y1(), line.y2())) + margin)));
    }
    const QPoint cap = capCorner(clockX, clockY, faceSize, capSize) + capOffset;
    return area | QRect(cap, centerPixmap.size());
}
