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
    painter.drawPixmap(clockX + facePart.offset.x(), clockY + facePart.offset.y(), clockPixmap, 0, 0, -1, -1);
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

    const int faceWidth = facePart.storedSize.width();
    const int faceHeight = facePart.storedSize.height();
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
    for (const HandLine& hand : hands)
        drawHand(painter, hand);
    drawCap(painter);
    handsShown = hands;
}

void quelView::drawHand(QPainter& painter, const HandLine& hand)
{
    QPen pen(hand.colour);
    pen.setWidth(hand.penWidth);
    painter.setPen(pen);
    painter.drawLine(hand.line);
}

QRect quelView::capArea() const
{
    return QRect(capCorner(clockX, clockY, facePart.storedSize, capPart.storedSize) + capPart.offset, centerPixmap.size());
}

void quelView::drawCap(QPainter& painter)
{
    const QPoint cap = capArea().topLeft();
    painter.drawPixmap(cap.x(), cap.y(), centerPixmap, 0, 0, -1, -1);
}

bool quelView::HandLine::operator==(const HandLine& other) const
{
    return line == other.line && penWidth == other.penWidth && colour == other.colour;
}

bool quelView::HandLine::operator!=(const HandLine& other) const
{
    return !(*this == other);
}

QRect quelView::HandLine::drawnWith(const QRect& screen) const
{
    // A line clipped to other sides than the screen's may be rasterized
    // onto other pixels than the whole line, even where both show it.
    const QRect box = inkBox();
    return screen.contains(box) ? box : screen;
}

QRect quelView::HandLine::inkBox() const
{
    // A line's square ends reach half its pen beyond them; a pixel more for
    // the rounding, and the coordinates kept where a QRect cannot overflow.
    const auto within = [](qint64 v) { return int(std::clamp<qint64>(v, -(1 << 20), 1 << 20)); };
    const qint64 margin = std::max(penWidth, 1) / 2 + 2;
    return QRect(QPoint(within(qint64(std::min(line.x1(), line.x2())) - margin),
                        within(qint64(std::min(line.y1(), line.y2())) - margin)),
                 QPoint(within(qint64(std::max(line.x1(), line.x2())) + margin),
                        within(qint64(std::max(line.y1(), line.y2())) + margin)));
}

void quelView::updateUnderSecondHand(const HandLines& hands)
{
    const QRect screen = bgPixmap.rect();
    QRect stale;
    const bool made = underSecondHand.isNull();
    if (made) {
        // Of the background's own format, with or without alpha.
        underSecondHand = bgPixmap;
        underSecondHand.detach();
        stale = screen;
    } else {
        for (size_t i = 0; i < baseHands.size(); ++i) {
            if (hands[i] != baseHands[i])
                stale |= baseHands[i].drawnWith(screen) | hands[i].drawnWith(screen);
        }
        if (stale.isEmpty())
            return;
        // The hour and the minute hand are drawn whole or not at all.
        for (bool grew = true; grew;) {
            grew = false;
            for (size_t i = 0; i < baseHands.size(); ++i) {
                const QRect whole = hands[i].drawnWith(screen);
                if (stale.intersects(whole) && !stale.contains(whole)) {
                    stale |= whole;
                    grew = true;
                }
            }
        }
    }
    // In the order and with the modes a whole frame draws them.
    QPainter painter(&underSecondHand);
    painter.setClipRect(stale);
    if (!made) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawPixmap(stale, bgPixmap, stale);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    drawFace(painter);
    for (size_t i = 0; i < baseHands.size(); ++i) {
        drawHand(painter, hands[i]);
        baseHands[i] = hands[i];
    }
}

QList<QRect> quelView::changingParts(const HandLines& hands) const
{
    const QRect screen = canvas.rect();
    // Nothing known of the hands the canvas shows: all of it.
    if (!handsShown)
        return { screen };
    QList<QRect> parts;
    const auto add = [&](const QRect& part) {
        if (part.intersects(screen))
            parts.append(part & screen);
    };
    for (size_t i = 0; i < hands.size(); ++i) {
        if (hands[i] != (*handsShown)[i])
            add((*handsShown)[i].inkBox() | hands[i].inkBox());
    }
    add(timeArea);
    // Parts that meet become one; a part the second hand reaches takes all
    // of it, as the hour and minute hands are put back whole.
    const QRect second = hands[2].drawnWith(screen);
    for (bool merged = true; merged;) {
        merged = false;
        for (qsizetype i = 0; i < parts.size() && !merged; ++i) {
            if (parts[i].intersects(second) && !parts[i].contains(second)) {
                parts[i] |= second;
                merged = true;
            }
            for (qsizetype j = i + 1; j < parts.size() && !merged; ++j) {
                if (parts[i].intersects(parts[j])) {
                    parts[i] |= parts.takeAt(j);
                    merged = true;
                }
            }
        }
    }
    return parts;
}
