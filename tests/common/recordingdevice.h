#pragma once

#include <QColor>
#include <QFont>
#include <QLine>
#include <QList>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPen>
#include <QPoint>
#include <QSize>
#include <QString>

// A paint device that draws nothing and records what a layer asked for:
// lines with their pen, pixmaps with their place, texts with their font and
// pen. Text is compared as strings and styles, not as font-dependent pixels.
class RecordingDevice : public QPaintDevice
{
public:
    struct Line { QLine line; QColor colour; int width; };
    struct Pixmap { QPoint at; QSize size; };
    struct Text { QString text; QPoint at; QString family; int pointSize; int weight; bool italic; QColor colour; qreal penWidth; Qt::PenStyle penStyle; };

    RecordingDevice();
    ~RecordingDevice() override;

    QPaintEngine* paintEngine() const override;

    struct Recording
    {
        QList<Line> lines;
        QList<Pixmap> pixmaps;
        QList<Text> texts;
    };
    Recording recorded;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    Engine* m_engine;
};
