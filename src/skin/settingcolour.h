#pragma once

#include <QColor>
#include <QString>

// A colour setting is decimal text, 65536 x red + 256 x green + blue; text
// that is not a number gives 0, black. Alpha is ignored: colours are opaque.
QColor colourFromSetting(const QString& setting);
