#include "clock/glyphsettext.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTextLayout>

GlyphSetText::GlyphSetText(const QString& characters)
    : m_characters(characters)
{
}

void GlyphSetText::prepare(const QPainter& painter)
{
    m_font = painter.font();
    m_direction = painter.layoutDirection();
    m_dpiX = painter.device()->logicalDpiX();
    m_dpiY = painter.device()->logicalDpiY();
    m_prepared = true;
    m_glyphs.clear();
    m_run = QGlyphRun();
    // Decorations and right-to-left text are left to drawText.
    if (m_direction == Qt::RightToLeft || m_font.underline() || m_font.overline() || m_font.strikeOut())
        return;

    // Every ordered pair of the characters, each pair starting at an even
    // place: a glyph whose advance or form changes with its neighbour shows.
    QString probe;
    for (const QChar a : m_characters) {
        for (const QChar b : m_characters) {
            probe += a;
            probe += b;
        }
    }
    // Shaped as drawText shapes a line (see CachedTextLine).
    QTextLayout layout(probe, m_font);
    QTextOption option;
    option.setTextDirection(m_direction);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid())
        return;
    line.setNumColumns(int(probe.size()));
    line.setPosition(QPointF(0, -line.ascent()));
    layout.endLayout();

    const QList<QGlyphRun> runs = layout.glyphRuns();
    // One font for all, one glyph per character.
    if (runs.size() != 1 || runs[0].glyphIndexes().size() != probe.size())
        return;
    const QList<quint32> indexes = runs[0].glyphIndexes();
    const QList<QPointF> positions = runs[0].positions();
    QHash<char16_t, Glyph> glyphs;
    for (qsizetype i = 0; i + 1 < probe.size(); ++i) {
        if (positions[i].y() != positions[0].y())
            return;
        const Glyph glyph { indexes[i], positions[i + 1].x() - positions[i].x() };
        const auto known = glyphs.constFind(probe[i].unicode());
        if (known == glyphs.cend())
            glyphs.insert(probe[i].unicode(), glyph);
        else if (known->index != glyph.index || known->advance != glyph.advance)
            return;
    }
    const auto last = glyphs.constFind(probe.back().unicode());
    if (last == glyphs.cend() || last->index != indexes.back() || positions.back().y() != positions[0].y())
        return;
    m_glyphs = glyphs;
    m_run = runs[0];
    m_origin = positions[0];
}

bool GlyphSetText::placeable(const QString& text) const
{
    if (m_glyphs.isEmpty())
        return false;
    for (const QChar c : text) {
        if (!m_glyphs.contains(c.unicode()))
            return false;
    }
    return true;
}

void GlyphSetText::draw(QPainter& painter, int x, int y, const QString& text)
{
    m_drewFromGlyphs = false;
    if (text.isEmpty() || !painter.isActive())
        return;
    const QPaintDevice* device = painter.device();
    if (!m_prepared || painter.font() != m_font || painter.layoutDirection() != m_direction
        || device->logicalDpiX() != m_dpiX || device->logicalDpiY() != m_dpiY)
        prepare(painter);
    // Only the raster engine is known to give drawText's pixels from glyphs;
    // other devices (a recording, a printer) also keep the text itself, which
    // glyphs alone would lose.
    if (painter.paintEngine()->type() != QPaintEngine::Raster || !placeable(text)) {
        painter.drawText(x, y, text);
        return;
    }
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(text.size());
    positions.reserve(text.size());
    // Sums of the advances, as the shaper places them; the advances are
    // multiples of 1/64, so the sums are exact.
    qreal at = m_origin.x();
    for (const QChar c : text) {
        const Glyph& glyph = *m_glyphs.constFind(c.unicode());
        indexes.append(glyph.index);
        positions.append(QPointF(at, m_origin.y()));
        at += glyph.advance;
    }
    QGlyphRun run = m_run;
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    painter.drawGlyphRun(QPointF(x, y), run);
    m_drewFromGlyphs = true;
}
