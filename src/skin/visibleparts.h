#pragma once

#include "skin/clockplacement.h"
#include "skin/imageprobe.h"

#include <QSize>
#include <QString>

// Which part of each skin image can fall on the screen, as the lock screen
// draws them: the background at the window's corner, the face where
// ClockLeft and ClockTop place it, the cap centred on the face. The loader
// decodes only these parts, and the checker checks them the same way.
namespace VisibleParts {
ImageProbe::VisiblePart background(QSize screen);
ImageProbe::VisiblePart face(const QString& clockLeft, const QString& clockTop, QSize screen);
// face: the face as stored, 0 x 0 without one; placement: for that face.
ImageProbe::VisiblePart cap(const ClockPlacement& placement, QSize face, QSize screen);
} // namespace VisibleParts
