#pragma once

#include <QFont>
#include <QString>

#include <memory>

class QPainter;
class QTextLayout;

// What shaping text depends on in a painter: its font, its layout direction
// and its device's resolution. A shaped text is reused while these stay.
struct ShapingSetting
{
    QFont font;
    Qt::LayoutDirection direction = Qt::LayoutDirectionAuto;
    int dpiX = 0;
    int dpiY = 0;

    static ShapingSetting of(const QPainter& painter);
    bool operator==(const ShapingSetting& other) const;
    bool operator!=(const ShapingSetting& other) const { return !(*this == other); }
};

// `text` laid out as drawText lays out a line: with the painter's (already
// resolved) font, in its direction, on one unbroken line whose baseline is
// at the layout's origin, so that drawing at (x, y) puts it at y exactly.
std::unique_ptr<QTextLayout> layOutAsDrawText(const QString& text, const ShapingSetting& setting);

// Whether glyphs placed by hand give drawText's pixels on this painter. Only
// the raster engine is known to; other devices (a recording, a printer) also
// keep the text itself, which glyphs alone would lose.
bool glyphsDrawAsText(const QPainter& painter);
