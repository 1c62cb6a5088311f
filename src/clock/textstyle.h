#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;

// The family every text layer asks for. It does not exist as such: the
// toolkit substitutes installed fonts with CJK glyphs and even-width digits.
extern const char* const TextFamily;
QFont textFont(int pointSize);

// The installed families the text is drawn with, in the order asked for.
QStringList textFontFamilies();
// Whether any of them can be found (fontconfig read its configuration and
// found them): otherwise the text falls back to whatever the toolkit finds.
bool textFontsAvailable();

// The shared text style: font of the given point size, normal weight, not
// italic; a solid 1-pixel pen of the colour. Both stay set on the painter.
void applyTextStyle(QPainter& painter, int pointSize, const QString& colour);
