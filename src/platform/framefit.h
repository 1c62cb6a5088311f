#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSize>

#include <utility>

class QPainter;

// How the phone's screen sits in a window of another size: scaled to fit
// without distortion and centred, the rest of the window black. A window of
// the phone's size shows it pixel for pixel.
class FrameFit
{
public:
    FrameFit(QSize window, QSize phone);

    bool isOneToOne() const { return m_target.size() == m_phone && m_target.topLeft().isNull(); }

    // Whether an opaque frame of that size hides the whole phone's screen.
    static bool covers(QSize frame, bool translucent, QSize phone);

    // The window's part that shows a part of the phone's screen (rounded
    // outwards), and back.
    QRegion toWindow(const QRegion& phonePart) const;
    QRegion toPhone(const QRegion& windowPart) const;

    // Paints the window's part `windowPart`: frame over the phone's screen,
    // `uncovered` where the frame leaves that screen bare (a frame smaller than
    // it, empty or translucent), black around it.
    void paint(QPainter& window, const QImage& frame, const QRegion& windowPart, const QColor& uncovered) const;

private:
    std::pair<double, double> windowPixelsPerPhonePixel() const;  // across, down
    void paintBand(QPainter& window, const QImage& frame, const QRect& band, const QColor& uncovered) const;

    QSize m_window;
    QSize m_phone;
    QRect m_target; // where the phone's screen lies in the window
};
