#include "platform/framefit.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

FrameFit::FrameFit(QSize window, QSize phone)
    : m_window(window)
    , m_phone(phone)
{
    if (window.isEmpty() || phone.isEmpty() || window == phone) {
        m_target = QRect(QPoint(0, 0), phone);
        return;
    }
    const double scale = std::min(double(window.width()) / phone.width(), double(window.height()) / phone.height());
    const QSize size(std::max(1, int(std::lround(phone.width() * scale))),
                     std::max(1, int(std::lround(phone.height() * scale))));
    m_target = QRect(QPoint((window.width() - size.width()) / 2, (window.height() - size.height()) / 2), size);
}

bool FrameFit::covers(QSize frame, bool translucent, QSize phone)
{
    return !translucent && frame.width() >= phone.width() && frame.height() >= phone.height();
}

QRegion FrameFit::toWindow(const QRegion& phonePart) const
{
    if (isOneToOne())
        return phonePart;
    const auto [sx, sy] = windowPixelsPerPhonePixel();
    QRegion result;
    for (const QRect& r : phonePart) {
        // One pixel more on each side: a smooth scale reads its neighbours.
        const int left = int(std::floor((r.left() - 1) * sx)) + m_target.left();
        const int top = int(std::floor((r.top() - 1) * sy)) + m_target.top();
        const int right = int(std::ceil((r.right() + 2) * sx)) + m_target.left();
        const int bottom = int(std::ceil((r.bottom() + 2) * sy)) + m_target.top();
        result += QRect(QPoint(left, top), QPoint(right, bottom)) & m_target;
    }
    return result;
}

std::pair<double, double> FrameFit::windowPixelsPerPhonePixel() const
{
    return { double(m_target.width()) / m_phone.width(), double(m_target.height()) / m_phone.height() };
}

QRegion FrameFit::toPhone(const QRegion& windowPart) const
{
    if (isOneToOne())
        return windowPart;
    const double sx = double(m_phone.width()) / m_target.width();
    const double sy = double(m_phone.height()) / m_target.height();
    QRegion result;
    for (const QRect& r : windowPart & m_target) {
        const QRect local = r.translated(-m_target.topLeft());
        const int left = int(std::floor(local.left() * sx));
        const int top = int(std::floor(local.top() * sy));
        const int right = int(std::ceil((local.right() + 1) * sx)) - 1;
        const int bottom = int(std::ceil((local.bottom() + 1) * sy)) - 1;
        result += QRect(QPoint(left, top), QPoint(right, bottom)) & QRect(QPoint(0, 0), m_phone);
    }
    return result;
}

void FrameFit::paint(QPainter& window, const QImage& frame, const QRegion& windowPart, const QColor& uncovered) const
{
    // In bands of a few rows: the raster engine hands a larger paint to
    // threads of its own, waking the process several times a frame.
    constexpr int BandRows = 48;
    for (const QRect& rect : windowPart) {
        for (int top = rect.top(); top <= rect.bottom(); top += BandRows) {
            const QRect band(rect.left(), top, rect.width(), std::min(BandRows, rect.bottom() + 1 - top));
            window.save();
            window.setClipRect(band);
            paintBand(window, frame, band, uncovered);
            window.restore();
        }
    }
}

void FrameFit::paintBand(QPainter& window, const QImage& frame, const QRect& band, const QColor& uncovered) const
{
    window.setCompositionMode(QPainter::CompositionMode_Source);
    if (!isOneToOne()) {
        for (const QRect& r : (QRegion(band) - m_target))
            window.fillRect(r, Qt::black);
    }
    const QRect phone(QPoint(0, 0), m_phone);
    if (!covers(frame.size(), frame.hasAlphaChannel(), m_phone)) {
        window.fillRect(m_target & band, uncovered);
        window.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    if (frame.isNull() || !band.intersects(m_target))
        return;
    window.setRenderHint(QPainter::SmoothPixmapTransform, !isOneToOne());
    const QRect source = frame.rect() & phone;
    const auto [sx, sy] = windowPixelsPerPhonePixel();
    const QRectF placed(m_target.left() + source.left() * sx, m_target.top() + source.top() * sy,
                        source.width() * sx, source.height() * sy);
    window.drawImage(placed, frame, source);
}
