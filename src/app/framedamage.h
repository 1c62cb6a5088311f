#pragma once

#include <QImage>
#include <QRegion>

// What a lock window shows, and which part of it a new frame changes: the
// frame is still composed whole every second, but only the part that differs
// from the one on the screen needs to reach the display server.
class FrameDamage
{
public:
    // Where a tick should repaint: the rectangle round everything frames have
    // been seen to change so far and the part marked as changing, or the
    // whole window while nothing is known of what it shows. Never empty, so
    // that every tick paints a frame. One rectangle: a paint clipped to a
    // region of several has the toolkit blend the frame through its generic
    // path, in threads of its own, where a rectangle is a plain copy.
    QRect tickRect(const QRect& window) const;
    // Marks a part of the window where frames will change (the hands' reach).
    void expectChanges(const QRect& area);
    // `frame` was just copied into `painted` of the window. Returns the part
    // of the window, outside `painted`, that still shows something else than
    // the frame: it needs a repaint of its own.
    QRegion framePainted(const QImage& frame, const QRegion& painted);
    // `frame` is about to be shown by a window that puts frames on the
    // screen itself. Returns the part of the window where it differs from
    // what the window shows, looking only inside `mayDiffer` (the caller
    // knows them equal elsewhere), or all of it while nothing is known of
    // what the window shows; the window is then taken to show `frame`.
    QRegion frameShown(const QImage& frame, const QRegion& mayDiffer);
    // Forgets what the window shows: the next tick repaints all of it.
    void reset();

    // The rows and columns where two images of one size and format differ,
    // as a few rectangles; all of `a` when they cannot be compared. Pixels
    // inside `skip` are not compared.
    static QRegion difference(const QImage& a, const QImage& b, const QRect& skip = QRect());

private:
    // Puts `part` of `frame` into what the window is known to show.
    void copyRows(const QImage& frame, const QRegion& part);

    QImage m_shown;
    QRegion m_changing;
};
