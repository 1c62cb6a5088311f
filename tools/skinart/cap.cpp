#include "cap.h"

#include <QPainter>
#include <QRadialGradient>

QImage drawCap(const CapStyle& style)
{
    QImage image(style.size, style.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal c = style.size / 2.0;
    p.translate(c, c);

    // Keep the outline inside the image so its corners stay transparent.
    const qreal r = c - style.outlineWidth / 2 - 0.25;
    QRadialGradient body(QPointF(0, 0), r, QPointF(-r / 3, -r / 3));
    body.setColorAt(0, style.light);
    body.setColorAt(1, style.shade);
    p.setBrush(body);
    p.setPen(QPen(style.outline, style.outlineWidth));
    p.drawEllipse(QPointF(0, 0), r, r);

    if (style.dot.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(style.dot);
        p.drawEllipse(QPointF(0, 0), style.dotRadius, style.dotRadius);
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}
