#include "clock/cachedtextline.h"

#include "clock/textshaping.h"

#include <QPainter>
#include <QTextLayout>

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
    m_layout->draw(&painter, QPointF(x, y));
}
