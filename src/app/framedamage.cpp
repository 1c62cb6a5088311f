#include "app/framedamage.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {
// Text a tick redraws may come out a few pixels wider or taller than the
// text before it; a margin round what changed spares a second repaint.
constexpr int ChangeMargin = 4;

// QRegion::contains(QRect) only says whether the two overlap.
bool covers(const QRegion& region, const QRect& rect)
{
    return (QRegion(rect) - region).isEmpty();
}
} // namespace

QRect FrameDamage::tickRect(const QRect& window) const
{
    if (m_shown.isNull())
        return window;
    const QRect area = m_changing.boundingRect() & window;
    // A frame that changes nothing is still painted once a second.
    return area.isEmpty() ? QRect(window.x(), window.y(), 1, 1) : area;
}

void FrameDamage::expectChanges(const QRect& area)
{
    m_changing += area;
}

void FrameDamage::reset()
{
    m_shown = QImage();
}

QRegion FrameDamage::difference(const QImage& a, const QImage& b, const QRect& skip)
{
    if (a.size() != b.size() || a.format() != b.format() || a.depth() != 32)
        return a.rect();
    QRegion changed;
    const int width = a.width();
    const QRect skipped = skip & a.rect();
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
    // The first and last differing pixel of [from, to) of a row, if any:
    // sought a block of pixels at a time from each end, then pixel by pixel.
    const auto differing = [](const quint32* rowA, const quint32* rowB, int from, int to, int& left, int& right) {
        constexpr int Block = 16;
        constexpr size_t BlockBytes = Block * sizeof(quint32);
        if (from >= to || std::memcmp(rowA + from, rowB + from, size_t(to - from) * sizeof(quint32)) == 0)
            return false;
        left = from;
        while (to - left >= Block && std::memcmp(rowA + left, rowB + left, BlockBytes) == 0)
            left += Block;
        while (rowA[left] == rowB[left])
            ++left;
        right = to;
        while (right - left >= Block && std::memcmp(rowA + right - Block, rowB + right - Block, BlockBytes) == 0)
            right -= Block;
        --right;
        while (rowA[right] == rowB[right])
            --right;
        return true;
    };
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const quint32*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const quint32*>(b.constScanLine(y));
        int left = width;
        int right = -1;
        if (y < skipped.top() || y > skipped.bottom() || skipped.isEmpty()) {
            differing(rowA, rowB, 0, width, left, right);
        } else {
            // Left and right of the skipped part.
            int l = 0, r = 0;
            if (differing(rowA, rowB, 0, skipped.left(), l, r)) {
                left = l;
                right = r;
            }
            if (differing(rowA, rowB, skipped.right() + 1, width, l, r)) {
                left = std::min(left, l);
                right = std::max(right, r);
            }
        }
        if (right < 0) {
            closeRun(y);
            continue;
        }
        if (runTop < 0)
            runTop = y;
        runLeft = std::min(runLeft, left);
        runRight = std::max(runRight, right);
    }
    closeRun(a.height());
    return changed;
}

void FrameDamage::copyRows(const QImage& frame, const QRegion& part)
{
    // Both 32 bits a pixel and of one size: the rows copied as they are.
    for (const QRect& r : part) {
        const size_t bytes = size_t(r.width()) * sizeof(quint32);
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(m_shown.scanLine(y) + r.left() * 4, frame.constScanLine(y) + r.left() * 4, bytes);
    }
}

QRegion FrameDamage::frameShown(const QImage& frame, const QRegion& mayDiffer)
{
    if (m_shown.isNull() || m_shown.size() != frame.size() || m_shown.format() != frame.format()
        || frame.depth() != 32) {
        m_shown = frame.copy();
        return frame.rect();
    }
    QRegion changed;
    for (const QRect& r : mayDiffer & frame.rect()) {
        // The two parts compared in place, as images over the frames' own rows.
        const auto part = [&r](const QImage& image) {
            return QImage(image.constScanLine(r.top()) + r.left() * 4, r.width(), r.height(), image.bytesPerLine(),
                          image.format());
        };
        changed += difference(part(frame), part(m_shown)).translated(r.topLeft());
    }
    copyRows(frame, changed);
    return changed;
}

QRegion FrameDamage::framePainted(const QImage& frame, const QRegion& painted)
{
    // A tick's repaint of one rectangle shows the frame there whatever it
    // changed: only the rest of the window is compared. A larger repaint is
    // compared whole, to learn where frames change.
    const bool wholeWindow = covers(painted, frame.rect());
    const QRect skip = painted.rectCount() == 1 && !wholeWindow ? painted.boundingRect() : QRect();
    const QRegion changed = m_shown.isNull() ? QRegion(frame.rect()) : difference(frame, m_shown, skip);
    // What changed from one frame to the next, not from an unknown window.
    if (!m_shown.isNull()) {
        for (const QRect& r : changed)
            m_changing += r.adjusted(-ChangeMargin, -ChangeMargin, ChangeMargin, ChangeMargin);
    }
    const QRegion left = changed - painted;
    // A copy of what the window shows now, never sharing the frame's pixels:
    // the caller composes the next frame into the same image.
    if (m_shown.isNull() || (left.isEmpty() && wholeWindow)) {
        m_shown = frame.copy();
    } else if (m_shown.size() == frame.size() && m_shown.format() == frame.format() && frame.depth() == 32) {
        // Only the painted part shows the new frame; the rest shows what it did.
        copyRows(frame, painted & frame.rect());
    } else {
        QPainter shown(&m_shown);
        shown.setClipRegion(painted);
        shown.setCompositionMode(QPainter::CompositionMode_Source);
        shown.drawImage(0, 0, frame);
    }
    return left;
}
