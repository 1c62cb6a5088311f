#pragma once

#include "skincheck/checkreport.h"

#include <QString>

// Reads config.cfg and the selected skin the way the lock screen does, and
// tells what it would silently get wrong: keys it never reads, keys it
// misses (and what their defaults look like), values it cannot use, images
// it cannot load, a clock or text placed off the screen, lines its reader
// ignores.
//
// Severities: an error is something the lock screen will show or do
// differently from what the file asks for (a missing key or group, a value
// that falls back to its default, an image that is not loaded, a size or
// length of zero or less, a clock or baseline off the screen). A warning is
// text that is ignored or only suspicious: an unknown group or key (the key
// it was meant to be is then reported missing on its own), a repeated key,
// an ignored line, a hand width of zero or less (drawn 1 pixel wide), a
// time-out of zero or less or under half a second, a clock face running
// partly off the screen, a background not of the screen's size.
//
// A missing key is reported on the line that opens its group; a missing
// group, and a file that cannot be read, on line 1.
class SkinChecker
{
public:
    // `appDir` is the program folder as the lock screen derives it: empty for
    // the working directory, otherwise ending in "/". A non-null `skin` is
    // checked instead of the skin config.cfg selects, and config.cfg then
    // needs no Skin. File names in the report are the paths the lock screen
    // reads, cleaned ("./skin//skin.cfg" shows as "skin/skin.cfg").
    explicit SkinChecker(const QString& appDir, const QString& skin = QString());

    CheckReport check() const;

private:
    QString m_appDir;
    QString m_skin;
};
