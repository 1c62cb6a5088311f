#include "app/framedamage.h"

#include <QPainter>

#include <cstring>

namespace {
// Text a tick redraws may come out a few pixels wider or taller than the
// text before it; a margin round what changed spares a second repaint.
constexpr int ChangeMargin = 4;
} // namespace

QRegion FrameDamage::tickRegion(const QRect& window) const
{
    if (m_shown.isNull())
        return window;
    // One rectangle: a paint clipped to a region of several has the toolkit
    // blend the frame through its generic path, in threads of its own, where
    // a rectangle is a plain copy.
    const QRect area = m_changing.boundingRect() & window;
    // A frame that changes nothing is still painted once a second.
    return area.isEmpty() ? QRegion(window.x(), window.y(), 1, 1) : QRegion(area);
}

void FrameDamage::expectChanges(const QRect& area)
{
    m_changing += area;
}

void FrameDamage::reset()
{
    m_shown = QImage();
}

QRegion FrameDamage::difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.format() != b.format() || a.depth() != 32)
        return a.rect();
    QRegion changed;
    const int width = a.width();
    int runTop = -1;
    int runLeft = width;
    int runRight = -1;
    const auto closeRun = [&](int end) {
        if (runTop >= 0)
            changed += QRect(QPoint(runLeft, runTop), QPoint(runRight, end - 1));
        runTop = -1;
        runLeft = width;
        runRight = -1;
    };
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const quint32*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const quint32*>(b.constScanLine(y));
        if (std::memcmp(rowA, rowB, size_t(width) * sizeof(quint32)) == 0) {
            closeRun(y);
            continue;
        }
        int left = 0;
        while (rowA[left] == rowB[left])
            ++left;
        int right = width - 1;
        while (rowA[right] == rowB[right])
            --right;
        if (runTop < 0)
            runTop = y;
        runLeft = std::min(runLeft, left);
        runRight = std::max(runRight, right);
    }
    closeRun(a.height());
    return changed;
}

QRegion FrameDamage::framePainted(const QImage& frame, const QRegion& painted)
{
    const QRegion changed = m_shown.isNull() ? QRegion(frame.rect()) : difference(frame, m_shown);
    // What changed from one frame to the next, not from an unknown window.
    if (!m_shown.isNull()) {
        for (const QRect& r : changed)
            m_changing += r.adjusted(-ChangeMargin, -ChangeMargin, ChangeMargin, ChangeMargin);
    }
    const QRegion left = changed - painted;
    if (left.isEmpty()) {
        // The window shows the frame everywhere now.
        m_shown = frame;
        return {};
    }
    // Only the painted part shows the new frame; the rest shows what it did.
    if (m_shown.isNull()) {
        m_shown = frame;
    } else {
        QPainter shown(&m_shown);
        shown.setClipRegion(painted);
        shown.setCompositionMode(QPainter::CompositionMode_Source);
        shown.drawImage(0, 0, frame);
    }
    return left;
}
