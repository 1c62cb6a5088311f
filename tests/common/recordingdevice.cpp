#include "recordingdevice.h"

#include <QPaintEngineState>
#include <QPixmap>
#include <QTextItem>

class RecordingDevice::Engine : public QPaintEngine
{
public:
    explicit Engine(RecordingDevice* device) : QPaintEngine(AllFeatures), m_device(device) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return User; }

    void updateState(const QPaintEngineState& state) override
    {
        m_joinNext = false;
        if (state.state() & DirtyPen)
            m_pen = state.pen();
        if (state.state() & DirtyFont)
            m_font = state.font();
    }

    void drawLines(const QLine* lines, int count) override
    {
        m_joinNext = false;
        for (int i = 0; i < count; ++i)
            m_device->recorded.lines.append({ lines[i], m_pen.color(), m_pen.width() });
    }
    void drawLines(const QLineF* lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            m_device->recorded.lines.append({ lines[i].toLine(), m_pen.color(), m_pen.width() });
    }
    void drawPixmap(const QRectF& target, const QPixmap& pixmap, const QRectF&) override
    {
        m_joinNext = false;
        m_device->recorded.pixmaps.append({ target.topLeft().toPoint(), pixmap.size() });
    }
    void drawTextItem(const QPointF& at, const QTextItem& item) override
    {
        // One drawText may arrive as several items (one per font used);
        // items with no change of pen or font between them are joined.
        if (m_joinNext) {
            m_device->recorded.texts.last().text += item.text();
            return;
        }
        m_joinNext = true;
        m_device->recorded.texts.append({ item.text(), at.toPoint(), m_font.family(), m_font.pointSize(),
                                 m_font.weight(), m_font.italic(), m_pen.color(), m_pen.widthF(),
                                 m_pen.style() });
    }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}

    bool m_joinNext = false;

private:
    RecordingDevice* m_device;
    QPen m_pen;
    QFont m_font;
};

RecordingDevice::RecordingDevice() : m_engine(new Engine(this)) {}

RecordingDevice::~RecordingDevice()
{
    delete m_engine;
}

QPaintEngine* RecordingDevice::paintEngine() const
{
    return m_engine;
}

int RecordingDevice::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth: return 240;
    case PdmHeight: return 320;
    case PdmWidthMM: return 85;
    case PdmHeightMM: return 113;
    case PdmNumColors: return 0xffffff;
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY: return 72;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
    }
    return 0;
}
