#pragma once

#include "clock/textshaping.h"

#include <QGlyphRun>
#include <QHash>
#include <QString>

class QPainter;

// Draws text made of a few characters (the digital time: digits and the
// colon) exactly as QPainter::drawText(x, y, text) does, from glyphs shaped
// once instead of shaping every new text. The time changes every second, so
// a kept layout of the text itself would never be reused.
//
// When the painter's font, direction or resolution changes, the characters are
// shaped together once, in every pair they can form. Only if each character
// then always gives one glyph of one font, and each glyph's advance does not
// depend on its neighbour (no kerning, ligature or mark), is a text placed
// glyph by glyph; otherwise, and for any character outside the set, the text
// goes to drawText, as does text for any device but the raster engine's.
class GlyphSetText
{
public:
    explicit GlyphSetText(const QString& characters);

    // Left end of the baseline at (x, y), in the painter's font and pen.
    void draw(QPainter& painter, int x, int y, const QString& text);

    // Whether the last draw placed the glyphs itself rather than calling
    // drawText (for tests).
    bool drewFromGlyphs() const { return m_drewFromGlyphs; }

private:
    struct Glyph
    {
        quint32 index;
        qreal advance;
    };

    void prepare(const ShapingSetting& setting);
    bool placeable(const QString& text) const;

    QString m_characters;
    ShapingSetting m_setting;
    bool m_prepared = false;
    // Empty when the characters cannot be placed glyph by glyph in this font.
    QHash<char16_t, Glyph> m_glyphs;
    QGlyphRun m_run;
    QPointF m_origin;
    bool m_drewFromGlyphs = false;
};
