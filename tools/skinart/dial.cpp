#include "dial.h"

#include <QPainter>
#include <QRadialGradient>

namespace {

// Draws one mark standing straight up from the centre; the caller has
// already turned the painter to the mark's angle.
void drawMark(QPainter& p, const DialMark& mark)
{
    if (mark.shape == DialMark::Dot) {
        p.setPen(Qt::NoPen);
        p.setBrush(mark.color);
        const qreal r = mark.width / 2;
        p.drawEllipse(QPointF(0, -mark.inner), r, r);
        return;
    }
    p.setPen(QPen(mark.color, mark.width, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(0, -mark.inner), QPointF(0, -mark.outer));
}

} // namespace

QImage drawCentred(int size, const std::function<void(QPainter&)>& draw)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(size / 2.0, size / 2.0);
    draw(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage drawDial(const DialStyle& style)
{
    return drawCentred(style.size, [&](QPainter& p) {
        QRadialGradient fill(QPointF(0, 0), style.radius);
        fill.setColorAt(0, style.centreFill);
        fill.setColorAt(1, style.edgeFill);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawEllipse(QPointF(0, 0), style.radius, style.radius);

        p.setBrush(Qt::NoBrush);
        if (style.rimWidth > 0) {
            const qreal r = style.radius - style.rimWidth / 2;
            p.setPen(QPen(style.rim, style.rimWidth));
            p.drawEllipse(QPointF(0, 0), r, r);
        }
        if (style.innerRing.isValid()) {
            p.setPen(QPen(style.innerRing, 1));
            p.drawEllipse(QPointF(0, 0), style.innerRingRadius, style.innerRingRadius);
        }

        for (int i = 0; i < 60; ++i) {
            p.save();
            p.rotate(i * 6);
            if (i % 15 == 0)
                drawMark(p, style.quarter);
            else if (i % 5 == 0)
                drawMark(p, style.hour);
            else
                drawMark(p, style.minute);
            p.restore();
        }
    });
}
