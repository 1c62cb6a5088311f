#pragma once

#include "clock/textshaping.h"

#include <QGlyphRun>
#include <QList>
#include <QString>

#include <memory>

class QPainter;
class QTextLayout;

// Draws one line of text exactly as QPainter::drawText(x, y, text) does, but
// keeps the shaped layout between calls. Shaping is most of what a text
// layer costs, and the date, the lunar line and the hint change a few times
// a day at most; a megabyte of hint would otherwise be shaped at every frame.
//
// The layout is reused while the text, the painter's font and layout
// direction and the device's resolution stay the same. Text that a layout
// treats differently from a single drawText line (tabs, line and paragraph
// separators, other control characters) goes to drawText itself.
class CachedTextLine
{
public:
    CachedTextLine();
    ~CachedTextLine();
    Q_DISABLE_COPY_MOVE(CachedTextLine)

    // Left end of the baseline at (x, y), in the painter's font and pen.
    void draw(QPainter& painter, int x, int y, const QString& text);

    // Whether the last draw reused the layout of the one before (for tests).
    bool reusedLayout() const { return m_reused; }

    // Whether the text can be drawn from a layout with drawText's pixels.
    static bool layoutDrawsAsDrawText(const QString& text);

private:
    void prepare(const ShapingSetting& setting, const QString& text);

    QString m_text;
    ShapingSetting m_setting;
    std::unique_ptr<QTextLayout> m_layout;
    // The layout's glyphs with their places (and the font's lines), drawn
    // on the raster engine through the path the time's glyphs take.
    QList<QGlyphRun> m_runs;
    bool m_reused = false;
};
