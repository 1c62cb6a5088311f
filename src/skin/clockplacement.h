#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// The largest distance from the screen's corner, either way, at which
// anything of the clock is drawn. Positions and hand ends are worked out
// wider than int and clamped to it: far beyond the 240 x 320 screen nothing
// shows either way, and within it a float holds every integer exactly, so
// turning a hand's end stays exact.
constexpr int DrawLimit = 1 << 24;

// v clamped to [-DrawLimit, DrawLimit].
int clampToDrawable(qint64 v);

// Where the clock face stands on one screen axis. `text` is a keyword of the
// axis (start: "left"/"top", end: "right"/"bottom", or "center"), compared
// exactly, or else a base-10 integer; anything else gives 0. `screen` is the
// screen's extent and `face` the face image's on that axis. Halves drop the
// fraction toward zero. The result is clamped with clampToDrawable.
int placeClockAxis(const QString& text, const char* startKeyword, const char* endKeyword, int screen, int face);

// The face's top-left corner and the clock centre, the middle of the face,
// for a face of the given size (0 x 0 when it did not load).
struct ClockPlacement
{
    int clockX = 0;
    int clockY = 0;
    int centerX = 0;
    int centerY = 0;

    static ClockPlacement of(const QString& clockLeft, const QString& clockTop, QSize face);
};

// The centre cap's top-left corner: centred on the face by halving the size
// difference, not by subtracting half the cap. face is 0 x 0 without a face.
QPoint capCorner(int clockX, int clockY, QSize face, QSize cap);

// The part of an image drawn with its top-left corner at `corner` that falls
// on a screen of size `screen`, in the image's coordinates (not yet cut to
// the image itself).
QRect partOnScreen(QPoint corner, QSize screen);
