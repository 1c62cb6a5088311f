// In-process frame figures with the classic skin, offscreen, at 72 dpi, with
// the window's lines silenced and a wall clock that moves on one second
// per frame (the layers alone keep one time):
//   compose_frame  one whole composeFrame(): the copy of the background into
//                  canvas and the five layers, as a paint does before its copy
//                  to the window;
//   compose_frame_cold  the same with the caches emptied before each frame;
//   floor          the same frame's unavoidable copies alone: canvas = the
//                  background (detached, as composeFrame does) and one
//                  QPainter on a window-sized image of the window backing
//                  store's format drawing canvas at (0, 0);
//   paint_frame    compose_frame plus that copy to the window image: the
//                  canvas work of one paint without the toolkit around it;
//   window_repaint the shown window repainted through the toolkit
//                  (QWidget::repaint on the offscreen platform): paint_frame
//                  plus what a repaint costs beyond the frame itself;
//   layer_*        each layer alone, drawn on a copy of the background.
// Prints Google Benchmark's table, then RESULT lines (see benchsummary.h) and
// the ratio of compose_frame to floor.
#include "benchsummary.h"

#include "app/quelview.h"
#include "common/quelviewaccess.h"
#include "clock/textstyle.h"
#include "platform/diagnostics.h"
#include "platform/wallclock.h"
#include "platform/zapplication.h"

#include <QApplication>
#include <QBackingStore>
#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

namespace {

quelView* view = nullptr;
QImage::Format windowFormat = QImage::Format_RGB32;

// The clock of the frame benchmarks: it moves on one second per frame, as on
// the lock screen, so each frame draws a new time.
// 2026-03-07 09:41:27 UTC: every digit and hand away from zero.
constexpr time_t FirstSecond = 1772876487;
time_t frameSecond = 0;
FixedWallClock frameClock(FirstSecond);

void nextFrame()
{
    // Wraps after an hour, staying on one date.
    frameSecond = (frameSecond + 1) % 3600;
    frameClock.set(FirstSecond + frameSecond);
}

void composeFrame(benchmark::State& state)
{
    for (auto _ : state) {
        nextFrame();
        view->composeFrame();
        benchmark::ClobberMemory();
    }
}

// The frame as the lock screen meets it once a second: caches filled with
// other work since the last one (64 MiB written between frames, untimed).
void composeFrameCold(benchmark::State& state)
{
    std::vector<char> other(64 << 20);
    char value = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::fill(other.begin(), other.end(), ++value);
        benchmark::DoNotOptimize(other.data());
        nextFrame();
        state.ResumeTiming();
        view->composeFrame();
        benchmark::ClobberMemory();
    }
}

void floorCopies(benchmark::State& state)
{
    const QPixmap& background = QuelViewAccess(*view).background();
    QImage window(PhoneScreen::Width, PhoneScreen::Height, windowFormat);
    window.fill(Qt::black);
    QPixmap canvas;
    for (auto _ : state) {
        canvas = background;
        canvas.detach();
        QPainter painter(&window);
        painter.drawPixmap(0, 0, canvas);
        painter.end();
        benchmark::ClobberMemory();
    }
}

void paintFrame(benchmark::State& state)
{
    QImage window(PhoneScreen::Width, PhoneScreen::Height, windowFormat);
    window.fill(Qt::black);
    for (auto _ : state) {
        nextFrame();
        view->composeFrame();
        QPainter painter(&window);
        painter.drawPixmap(0, 0, QuelViewAccess(*view).canvas());
        painter.end();
        benchmark::ClobberMemory();
    }
}

void windowRepaint(benchmark::State& state)
{
    for (auto _ : state) {
        nextFrame();
        view->repaint();
        benchmark::ClobberMemory();
    }
}

template <void (QuelViewAccess::*Layer)(QPainter&)>
void layer(benchmark::State& state)
{
    QuelViewAccess access(*view);
    for (auto _ : state) {
        QPixmap canvas = access.background();
        canvas.detach();
        QPainter painter(&canvas);
        (access.*Layer)(painter);
        painter.end();
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(composeFrame)->Name("compose_frame")->Unit(benchmark::kMicrosecond);
BENCHMARK(composeFrameCold)->Name("compose_frame_cold")->Iterations(30)->Unit(benchmark::kMicrosecond);
BENCHMARK(floorCopies)->Name("floor")->Unit(benchmark::kMicrosecond);
BENCHMARK(paintFrame)->Name("paint_frame")->Unit(benchmark::kMicrosecond);
BENCHMARK(windowRepaint)->Name("window_repaint")->Unit(benchmark::kMicrosecond);
BENCHMARK(layer<&QuelViewAccess::drawAnalog>)->Name("layer_analog")->Unit(benchmark::kMicrosecond);
BENCHMARK(layer<&QuelViewAccess::drawDigital>)->Name("layer_digital")->Unit(benchmark::kMicrosecond);
BENCHMARK(layer<&QuelViewAccess::drawDate>)->Name("layer_date")->Unit(benchmark::kMicrosecond);
BENCHMARK(layer<&QuelViewAccess::drawLunar>)->Name("layer_lunar")->Unit(benchmark::kMicrosecond);
BENCHMARK(layer<&QuelViewAccess::drawNotify>)->Name("layer_notify")->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    // The lock screen's conditions, without a display.
    ZApplication::useOffscreenPhoneScreen();
    qputenv("TZ", "UTC");
    tzset();

    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const SilencedDiagnostics silenced;

    const char* appDir = std::getenv("LOCKAPP_BENCH_APP_DIR");
    auto window = std::make_unique<quelView>(QString::fromLocal8Bit(appDir ? appDir : LOCKAPP_STAGE_DIR)
                                             + QLatin1String("/lockapp"),
                                             frameClock);
    view = window.get();
    view->useSkin(QStringLiteral("classic"));
    if (QuelViewAccess(*view).background().isNull()) {
        std::fprintf(stderr, "bench_frame: the classic skin's background could not be loaded from %s\n",
                     qPrintable(QuelViewAccess(*view).skinDir()));
        return 1;
    }

    // The floor copies into an image of the format the window's own backing
    // store paints into on this platform.
    view->show();
    QApplication::processEvents();
    if (QBackingStore* store = view->backingStore()) {
        store->beginPaint(QRegion(0, 0, 1, 1));
        if (auto* image = dynamic_cast<QImage*>(store->paintDevice()))
            windowFormat = image->format();
        store->endPaint();
    }
    // The first frame loads the font database and the glyphs: a start-up
    // cost, not a frame's.
    view->composeFrame();
    view->repaint();
    std::printf("window backing store format: %d, window %dx%d, canvas %dx%d\n", int(windowFormat),
                view->width(), view->height(), QuelViewAccess(*view).background().width(),
                QuelViewAccess(*view).background().height());

    const auto figures = runBenchmarks(argc, argv);
    const auto compose = figures.find("compose_frame");
    const auto floor = figures.find("floor");
    if (compose != figures.end() && floor != figures.end()) {
        const auto [cLow, cHigh] = std::minmax_element(compose->second.cpu.begin(), compose->second.cpu.end());
        const auto [fLow, fHigh] = std::minmax_element(floor->second.cpu.begin(), floor->second.cpu.end());
        // The bounds pair the extremes of the two sets of repetitions.
        std::printf("RESULT compose_over_floor x %.3g %.3g %.3g %.3g %zu\n",
                    medianOf(compose->second.cpu) / medianOf(floor->second.cpu), *cLow / *fHigh, *cHigh / *fLow,
                    medianOf(compose->second.real) / medianOf(floor->second.real), compose->second.cpu.size());
    }
    window.reset();
    return 0;
}
