#include "quelview.h"

#include "app/appdir.h"
#include "platform/diagnostics.h"
#include "platform/qcopchannel.h"
#include "platform/wallclock.h"
#include "platform/zconfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPainter>
#include <QPicture>
#include <QTimer>

#include <cstdio>

namespace {
constexpr int MiddleKey = 4100;
constexpr int StarKey = 42;
} // namespace

quelView::quelView(const QString& path)
    : ZKbMainWidget(nullptr, "quelView", 0)
{
    appDir = programDirectory(path, QCoreApplication::applicationDirPath());
    // The folder's own bytes, as the file system names it.
    writeDiagnostic("\npath=" + QFile::encodeName(appDir) + "\n");

    shown = false;
    unlockArmed = false;
    lcdOn = true;

    auto* channel = new QCopChannel("EZX/System", this);
    connect(channel, SIGNAL(received(const QCString&,const QByteArray&)),
            this, SLOT(LcdMessage(const QCString&,const QByteArray&)));

    // Every paint covers the window with the frame, so the toolkit's own
    // fill of the window before each paint is wasted; paintEvent fills only
    // what a frame leaves uncovered.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFullScreenMode(true, true);
    readConfig();
    initImg();
    readClock();
    // A precise timer: a coarse one may drift a tick across a second
    // boundary, and the clock would then skip or repeat a second.
    startTimer(1000, Qt::PreciseTimer);
}

quelView::~quelView() = default;

void quelView::readClock()
{
    const time_t now = wallClockNow();
    curTime = localtime(&now);
    if (!curTime) {
        // A clock beyond what the C library can break down: show the epoch
        // rather than read through a null pointer.
        static struct tm epoch = [] {
            struct tm t = {};
            t.tm_year = 70;
            t.tm_mday = 1;
            return t;
        }();
        curTime = &epoch;
    }
}

void quelView::LcdMessage(const QCString& msg, const QByteArray& /*data*/)
{
    if (msg == "LCDOn") {
        lcdOn = true;
        update();
        writeDiagnostic("\nLCDOn\n");
    } else if (msg == "LCDOff") {
        writeDiagnostic("\nLCDOff\n");
        lcdOn = false;
        shown = true;
        show();
    } else {
        // Any client on the bus names messages: a name must not be able to
        // write lines of its own.
        writeDiagnostic("\nmsg:" + escapedForLine(msg) + "\n");
    }
}

void quelView::keyPressEvent(QKeyEvent* e)
{
    char line[48];
    std::snprintf(line, sizeof line, "keyCode:%ld\n", static_cast<long>(e->key()));
    writeDiagnostic(line);

    if (e->key() == StarKey) {
        if (unlockArmed) {
            shown = false;
            hide();
        }
    } else if (e->key() == MiddleKey) {
        unlockArmed = true;
        update();
        // A time-out of zero or less would fire at once and leave no time for
        // the star key; then the key stays armed until an unlock completes.
        if (settings.timeOut > 0)
            QTimer::singleShot(settings.timeOut, this, SLOT(midKeyTimeOut()));
    }
    // Never passed on: no key has any effect beyond these.
}

void quelView::midKeyTimeOut()
{
    unlockArmed = false;
    update();
}

void quelView::timerEvent(QTimerEvent* /*e*/)
{
    if (shown && lcdOn)
        update();
}

void quelView::composeFrame()
{
    canvas = bgPixmap;
    // An assigned pixmap shares its data until written; detach so that
    // drawing never alters the background. Not a null one: after a failed
    // load it holds an empty image, and the toolkit's detach() of a shared
    // empty image dereferences a null pointer. Nothing draws on it anyway.
    if (!canvas.isNull())
        canvas.detach();
    // With no background there is nothing to draw on; the layers still run
    // (they read the clock and write their lines) into a sink that is thrown away.
    QPicture discarded;
    QPainter painter;
    if (!canvas.isNull())
        painter.begin(&canvas);
    else
        painter.begin(&discarded);
    drawAnalog(painter);
    drawDigital(painter);
    drawDate(painter);
    drawLunar(painter);
    drawNotify(painter);
    painter.end();
}

bool quelView::frameCoversWindow() const
{
    return !canvas.isNull() && !canvas.hasAlphaChannel() && canvas.width() >= width() && canvas.height() >= height();
}

void quelView::paintEvent(QPaintEvent* e)
{
    const DiagnosticBatch frameLines;
    writeDiagnostic("\npaint\n");
    composeFrame();
    {
        QPainter window(this);
        if (!frameCoversWindow()) {
            // What the toolkit fills a window with before an ordinary paint.
            window.setCompositionMode(QPainter::CompositionMode_Source);
            window.fillRect(rect(), palette().brush(QPalette::Window));
            window.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        window.drawPixmap(0, 0, canvas);
    }
    writeDiagnostic("\npaint over\n");
    ZKbMainWidget::paintEvent(e);
}
