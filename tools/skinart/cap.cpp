#include "cap.h"

#include "dial.h"

#include <QPainter>
#include <QRadialGradient>

QImage drawCap(const CapStyle& style)
{
    return drawCentred(style.size, [&](QPainter& p) {
        // Keep the outline inside the image so its corners stay transparent.
        const qreal r = style.size / 2.0 - style.outlineWidth / 2 - 0.25;
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
    });
}
