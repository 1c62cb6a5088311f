#pragma once

#include <QString>

// Where the clock face stands on one screen axis. `text` is a keyword of the
// axis (start: "left"/"top", end: "right"/"bottom", or "center"), compared
// exactly, or else a base-10 integer; anything else gives 0. `screen` is the
// screen's extent and `face` the face image's on that axis. Halves drop the
// fraction toward zero.
int placeClockAxis(const QString& text, const char* startKeyword, const char* endKeyword, int screen, int face);
