#include "skin/clockplacement.h"

#include "platform/phonescreen.h"

int clampToDrawable(qint64 v)
{
    return int(qBound(qint64(-DrawLimit), v, qint64(DrawLimit)));
}

int placeClockAxis(const QString& text, const char* startKeyword, const char* endKeyword, int screen, int face)
{
    if (text == QLatin1String(startKeyword))
        return 0;
    if (text == QLatin1String(endKeyword))
        return clampToDrawable(qint64(screen) - face);
    if (text == QLatin1String("center"))
        return clampToDrawable((qint64(screen) - face) / 2);
    // QString::toInt gives 0 for text that is not a whole number in range.
    return clampToDrawable(text.toInt(nullptr, 10));
}

ClockPlacement ClockPlacement::of(const QString& clockLeft, const QString& clockTop, QSize face)
{
    const int faceWidth = qMax(0, face.width());
    const int faceHeight = qMax(0, face.height());
    ClockPlacement p;
    p.clockX = placeClockAxis(clockLeft, "left", "right", PhoneScreen::Width, faceWidth);
    p.clockY = placeClockAxis(clockTop, "top", "bottom", PhoneScreen::Height, faceHeight);
    p.centerX = clampToDrawable(qint64(p.clockX) + faceWidth / 2);
    p.centerY = clampToDrawable(qint64(p.clockY) + faceHeight / 2);
    return p;
}

QPoint capCorner(int clockX, int clockY, QSize face, QSize cap)
{
    return QPoint(clampToDrawable(clockX + (qint64(face.width()) - cap.width()) / 2),
                  clampToDrawable(clockY + (qint64(face.height()) - cap.height()) / 2));
}

QRect partOnScreen(QPoint corner, QSize screen)
{
    return QRect(-corner, screen);
}
