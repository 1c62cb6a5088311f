#include "clock/cachedtextline.h"

#include <QPaintDevice>
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

void CachedTextLine::prepare(const QPainter& painter, const QString& text)
{
    m_text = text;
    m_font = painter.font();
    m_direction = painter.layoutDirection();
    m_dpiX = painter.device()->logicalDpiX();
    m_dpiY = painter.device()->logicalDpiY();

    // The painter's font is already resolved for its device; the layout
    // shapes with it as drawText would: in the painter's direction (a painter
    // on a pixmap takes it from the text itself), on one unbroken line.
    m_layout = std::make_unique<QTextLayout>(text, m_font);
    QTextOption option;
    option.setTextDirection(m_direction);
    option.setWrapMode(QTextOption::NoWrap);
    m_layout->setTextOption(option);
    // Without the cache the layout throws its glyphs away after endLayout()
    // and would shape again at every draw.
    m_layout->setCacheEnabled(true);
    m_layout->beginLayout();
    QTextLine line = m_layout->createLine();
    if (line.isValid()) {
        line.setNumColumns(int(text.size()));
        // The baseline at the layout's origin: drawing at (x, y) then puts it
        // at y exactly, as drawText does.
        line.setPosition(QPointF(0, -line.ascent()));
    }
    m_layout->endLayout();
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
    const QPaintDevice* device = painter.device();
    m_reused = m_layout && text == m_text && painter.font() == m_font && painter.layoutDirection() == m_direction
        && device->logicalDpiX() == m_dpiX && device->logicalDpiY() == m_dpiY;
    if (!m_reused)
        prepare(painter, text);
    m_layout->draw(&painter, QPointF(x, y));
}
