#include "skin/visibleparts.h"

ImageProbe::VisiblePart VisibleParts::background(QSize screen)
{
    return [screen](QSize) { return QRect(QPoint(0, 0), screen); };
}

ImageProbe::VisiblePart VisibleParts::face(const QString& clockLeft, const QString& clockTop, QSize screen)
{
    return [=](QSize stored) {
        const ClockPlacement p = ClockPlacement::of(clockLeft, clockTop, stored);
        return partOnScreen(QPoint(p.clockX, p.clockY), screen);
    };
}

ImageProbe::VisiblePart VisibleParts::cap(const ClockPlacement& placement, QSize face, QSize screen)
{
    return [=](QSize stored) { return partOnScreen(capCorner(placement.clockX, placement.clockY, face, stored), screen); };
}
