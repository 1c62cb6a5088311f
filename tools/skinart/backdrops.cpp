#include "backdrops.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace {

constexpr int screenWidth = 240;
constexpr int screenHeight = 320;

// A screen-sized background: a vertical gradient of `stops`, and `scene`
// painted over it, antialiased.
template <typename Scene>
QImage drawScreen(const QGradientStops& stops, Scene scene)
{
    // No alpha: the background is the bottom layer, and opaque files are smaller.
    QImage image(screenWidth, screenHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, screenHeight);
    g.setStops(stops);
    p.fillRect(0, 0, screenWidth, screenHeight, g);
    scene(p);
    return image;
}

void drawStars(QPainter& p, const QPainterPath& keepClear)
{
    // A low-discrepancy sequence scatters the stars evenly and gives the
    // same sky on every run.
    constexpr int count = 46;
    constexpr double a1 = 0.7548776662466927; // 1/plastic number
    constexpr double a2 = 0.5698402909980532; // its square
    p.setPen(Qt::NoPen);
    for (int i = 1; i <= count; ++i) {
        double ix;
        const QPointF at(std::modf(0.5 + a1 * i, &ix) * screenWidth,
                         8 + std::modf(0.5 + a2 * i, &ix) * 150);
        if (keepClear.contains(at))
            continue;
        const int kind = i % 5;
        const qreal radius = kind == 0 ? 1.3 : kind == 1 ? 0.9 : 0.6;
        const int alpha = kind == 0 ? 235 : kind == 1 ? 190 : 140;
        p.setBrush(QColor(230, 236, 255, alpha));
        p.drawEllipse(at, radius, radius);
    }
}

void drawMoon(QPainter& p, QPointF centre, qreal radius)
{
    QRadialGradient glow(centre, radius * 2.4);
    glow.setColorAt(0, QColor(243, 230, 176, 46));
    glow.setColorAt(1, QColor(243, 230, 176, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(centre, radius * 2.4, radius * 2.4);

    QPainterPath disc;
    disc.addEllipse(centre, radius, radius);
    QPainterPath bite;
    bite.addEllipse(centre + QPointF(radius * 0.42, -radius * 0.28), radius * 0.86, radius * 0.86);
    p.setBrush(QColor(243, 230, 176));
    p.drawPath(disc.subtracted(bite));
}

QPainterPath hill(qreal leftY, qreal c1x, qreal c1y, qreal c2x, qreal c2y, qreal rightY)
{
    QPainterPath path(QPointF(0, screenHeight));
    path.lineTo(0, leftY);
    path.cubicTo(c1x, c1y, c2x, c2y, screenWidth, rightY);
    path.lineTo(screenWidth, screenHeight);
    path.closeSubpath();
    return path;
}

} // namespace

QImage drawClassicBack()
{
    return drawScreen({{0.0, QColor(0x2a, 0x4a, 0x80)},
                       {0.5, QColor(0x15, 0x28, 0x4a)},
                       {1.0, QColor(0x09, 0x11, 0x24)}}, [](QPainter& p) {
        // A soft light behind the clock face (centred across, top at y = 30).
        const QPointF clockCentre(120, 105);
        QRadialGradient glow(clockCentre, 115);
        glow.setColorAt(0, QColor(170, 200, 255, 60));
        glow.setColorAt(1, QColor(170, 200, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(clockCentre, 115, 115);

        // A thin rule between the clock and the lines of text.
        QLinearGradient rule(30, 0, 210, 0);
        rule.setColorAt(0, QColor(200, 215, 240, 0));
        rule.setColorAt(0.5, QColor(200, 215, 240, 110));
        rule.setColorAt(1, QColor(200, 215, 240, 0));
        p.fillRect(QRectF(30, 205, 180, 1), rule);
    });
}

QImage drawNightBack()
{
    return drawScreen({{0.0, QColor(0x07, 0x0b, 0x1e)},
                       {0.55, QColor(0x13, 0x14, 0x36)},
                       {1.0, QColor(0x2a, 0x1c, 0x40)}}, [](QPainter& p) {
        const QPointF moonCentre(44, 54);
        const qreal moonRadius = 19;
        QPainterPath moonArea;
        moonArea.addEllipse(moonCentre, moonRadius + 5, moonRadius + 5);
        drawStars(p, moonArea);
        drawMoon(p, moonCentre, moonRadius);

        // Two ridges; the near one stays low enough to carry the hint line.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1d, 0x14, 0x33));
        p.drawPath(hill(272, 60, 256, 150, 282, 262));
        p.setBrush(QColor(0x09, 0x07, 0x12));
        p.drawPath(hill(286, 90, 276, 170, 290, 280));
    });
}
