// The toolkit's own references for the cost of waiting, 240x320 Qt widgets
// that ask for a repaint once a second:
//   plainclock [X Y]             draws nothing itself: each paint is the
//                                toolkit's background fill and the copy to
//                                the screen;
//   plainclock X Y BACKGROUND    each paint makes the two copies every lock
//                                screen frame needs whatever it shows: the
//                                background image into an off-screen canvas
//                                and the canvas onto the window (opaque, so
//                                without the toolkit's fill).
// X, Y place the window (default 0, 0).
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {
class PlainClock : public QWidget
{
public:
    explicit PlainClock(const QPixmap& background)
        : m_background(background)
    {
        if (!m_background.isNull())
            setAttribute(Qt::WA_OpaquePaintEvent);
        startTimer(1000, Qt::PreciseTimer);
    }

protected:
    void timerEvent(QTimerEvent*) override { update(); }

    void paintEvent(QPaintEvent*) override
    {
        if (m_background.isNull())
            return;
        m_canvas = m_background;
        m_canvas.detach();
        QPainter window(this);
        window.drawPixmap(0, 0, m_canvas);
    }

private:
    QPixmap m_background;
    QPixmap m_canvas;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QPixmap background;
    if (argc >= 4 && !background.load(QString::fromLocal8Bit(argv[3]))) {
        std::fprintf(stderr, "plainclock: cannot load %s\n", argv[3]);
        return 1;
    }
    PlainClock clock(background);
    clock.setFixedSize(240, 320);
    if (argc >= 3)
        clock.move(std::atoi(argv[1]), std::atoi(argv[2]));
    clock.show();
    return app.exec();
}
