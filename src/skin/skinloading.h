#pragma once

#include "platform/zconfig.h"
#include "skin/clockplacement.h"
#include "skin/skinsettings.h"

#include <QPixmap>
#include <QSize>
#include <QString>

#include <memory>

// What config.cfg and a skin's skin.cfg say, and where the skin lies.
struct SkinSettingsRead
{
    SkinSettings settings;
    QString folder;                   // the skin folder, ending in "/"
    std::unique_ptr<ZConfig> reader;  // the last reader used: the skin file's
};

// Of an image kept only in part: its size as stored, which places the face,
// the cap and the hands, and where the part kept lies in it.
struct ImagePart
{
    QSize storedSize { 0, 0 };
    QPoint offset;
};

// The skin's three images and the clock's place on the screen. An image
// that cannot be loaded is empty, 0 x 0. Each is only the part of it that can
// fall on the screen.
struct SkinImages
{
    QPixmap background;  // cut to the screen
    QPixmap face;
    ImagePart facePart;
    QPixmap cap;
    ImagePart capPart;
    ClockPlacement placement;
};

// Everything the lock screen takes from a skin.
struct LoadedSkin
{
    SkinSettingsRead read;
    SkinImages images;
};

// Reads appDir's config.cfg (appDir ends in "/"), then skin.cfg of the skin
// it selects, or of `skin` when that is not null (TimeOut still comes from
// config.cfg). Nothing is validated: a missing file, group or key leaves
// the default.
SkinSettingsRead readSkinSettings(const QString& appDir, const QString& skin = QString());

// Loads the images the settings name from the skin folder (their format is
// recognised from the contents) and places the clock. Each image is cut
// while it is decoded to what can fall on `screen`: the background is drawn
// at the window's corner, the face where the clock is placed, the cap centred
// on the face. What lies beyond the screen never shows but would cost memory
// (and, for the background, time every frame). An image too large to be
// loaded is left out and said once on standard error.
SkinImages loadSkinImages(const QString& folder, const SkinSettings& settings, QSize screen);

// Both steps: the one way the lock screen, its previews, the tools and the
// tests load a skin.
LoadedSkin loadSkin(const QString& appDir, const QString& skin, QSize screen);
