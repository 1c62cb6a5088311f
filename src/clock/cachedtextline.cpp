#include "clock/cachedtextline.h"

#include "clock/textshaping.h"

#include <QPainter>
#include <QTextLayout>

namespace {
// Glyph runs are kept for lines up to this long (a line of the screen's
// width holds a few dozen characters): kept for a megabyte of hint they
// would take some 70 MB more than its layout.
constexpr qsizetype MaxRunsText = 1024;
} // namespace

CachedTextLine::CachedTextLine() = default;
CachedTextLine::~CachedTextLine() = default;

bool CachedTextLine::layoutDrawsAsDrawText(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // C0 and C1 controls (tab, line ends, NEL), the separators that end a
        // layout's line, and the object placeholder a layout may size apart.
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029 || u == 0xfffc)
            return false;
    }
    return true;
}

void CachedTextLine::prepare(const ShapingSetting& setting, const QString& text)
{
    m_text = text;
    m_setting = setting;
    m_layout = layOutAsDrawText(text, setting);
    m_runs = text.size() <= MaxRunsText ? m_layout->glyphRuns() : QList<QGlyphRun>();
}

void CachedTextLine::draw(QPainter& painter, int x, int y, const QString& text)
{
    m_reused = false;
    if (text.isEmpty() || !painter.isActive() || painter.pen().style() == Qt::NoPen)
        return;
    if (!layoutDrawsAsDrawText(text)) {
        painter.drawText(x, y, text);
        return;
    }
    const ShapingSetting setting = ShapingSetting::of(painter);
    m_reused = m_layout && text == m_text && setting == m_setting;
    if (!m_reused)
        prepare(setting, text);
    // The same glyphs at the same places as the layout's own drawing, without
    // walking its items at every frame; the test compares the two for each
    // kind of text.
    if (!m_runs.isEmpty() && glyphsDrawAsText(painter)) {
        for (const QGlyphRun& run : std::as_const(m_runs))
            painter.drawGlyphRun(QPointF(x, y), run);
        return;
    }
    m_layout->draw(&painter, QPointF(x, y));
}
