// The toolkit's own reference for the cost of waiting: a plain 240x320 Qt
// widget that asks for a repaint once a second and draws nothing itself, so
// each paint is the toolkit's background fill and the copy to the screen.
//   plainclock [X Y]   places the window at X, Y (default 0, 0)
#include <QApplication>
#include <QWidget>

#include <cstdlib>

namespace {
class PlainClock : public QWidget
{
public:
    PlainClock() { startTimer(1000, Qt::PreciseTimer); }

protected:
    void timerEvent(QTimerEvent*) override { update(); }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    PlainClock clock;
    clock.setFixedSize(240, 320);
    if (argc >= 3)
        clock.move(std::atoi(argv[1]), std::atoi(argv[2]));
    clock.show();
    return app.exec();
}
