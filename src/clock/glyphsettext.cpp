#include "clock/glyphsettext.h"

#include <QPainter>
#include <QTextLayout>

GlyphSetText::GlyphSetText(const QString& characters)
    : m_characters(characters)
{
}

void GlyphSetText::prepare(const ShapingSetting& setting)
{
    m_setting = setting;
    m_prepared = true;
    m_glyphs.clear();
    m_run = QGlyphRun();
    // Decorations and right-to-left text are left to drawText.
    const QFont& font = setting.font;
    if (setting.direction == Qt::RightToLeft || font.underline() || font.overline() || font.strikeOut())
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
    const auto layout = layOutAsDrawText(probe, setting);
    if (layout->lineCount() != 1)
        return;

    const QList<QGlyphRun> runs = layout->glyphRuns();
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
    const ShapingSetting setting = ShapingSetting::of(painter);
    if (!m_prepared || setting != m_setting)
        prepare(setting);
    if (!glyphsDrawAsText(painter) || !placeable(text)) {
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
