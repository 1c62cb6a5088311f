#include "clock/textshaping.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTextLayout>

ShapingSetting ShapingSetting::of(const QPainter& painter)
{
    return { painter.font(), painter.layoutDirection(), painter.device()->logicalDpiX(),
             painter.device()->logicalDpiY() };
}

bool ShapingSetting::operator==(const ShapingSetting& other) const
{
    return font == other.font && direction == other.direction && dpiX == other.dpiX && dpiY == other.dpiY;
}

std::unique_ptr<QTextLayout> layOutAsDrawText(const QString& text, const ShapingSetting& setting)
{
    auto layout = std::make_unique<QTextLayout>(text, setting.font);
    QTextOption option;
    option.setTextDirection(setting.direction);
    option.setWrapMode(QTextOption::NoWrap);
    layout->setTextOption(option);
    // Without the cache the layout throws its glyphs away after endLayout()
    // and would shape again at every draw.
    layout->setCacheEnabled(true);
    layout->beginLayout();
    QTextLine line = layout->createLine();
    if (line.isValid()) {
        line.setNumColumns(int(text.size()));
        line.setPosition(QPointF(0, -line.ascent()));
    }
    layout->endLayout();
    return layout;
}

bool glyphsDrawAsText(const QPainter& painter)
{
    return painter.paintEngine()->type() == QPaintEngine::Raster;
}
