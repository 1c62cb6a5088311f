#include "app/quelview.h"

#include "app/appdir.h"
#include "clock/textstyle.h"
#include "lunar/lunarline.h"
#include "platform/framefit.h"
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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {
constexpr int MiddleKey = 4100;
constexpr int StarKey = 42;
} // namespace

quelView::quelView(const QString& path, const WallClock& clock, BusLink* bus)
    : ZKbMainWidget(nullptr, "quelView", 0)
    , wallClock(clock)
    , ticker(*this, clock)
{
    const QString executableDir = QCoreApplication::applicationDirPath();
    appDir = programDirectory(realProgramPath(path), executableDir);
    // The folder as the program was started by (a link's own folder), in the
    // file system's own bytes; a control character in its name must not be
    // able to start a line of its own.
    writeDiagnostic("\npath=" + escapedForLine(QFile::encodeName(programDirectory(path, executableDir))) + "\n");

    shown = false;
    unlockArmed = false;
    lcdOn = true;

    if (bus) {
        auto* channel = new QCopChannel("EZX/System", this, nullptr, *bus);
        connect(channel, SIGNAL(received(const QCString&,const QByteArray&)),
                this, SLOT(LcdMessage(const QCString&,const QByteArray&)));
    }

    // Every paint covers the window with the frame, so the toolkit's own
    // fill of the window before each paint is wasted; paintEvent fills only
    // what a frame leaves uncovered.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFullScreenMode(true, true);
    readConfig();
    initImg();
    readClock();
    damage.expectChanges(handsReach());
    // The one-second tick runs only while it has something to repaint: the
    // lock screen shown with the display on (keepTicking). Hidden or dark,
    // nothing wakes the process.
}

quelView::~quelView() = default;

void quelView::readClock()
{
    const time_t now = wallClock.now();
    // Into the window's own record: the C library's localtime() checks the
    // time-zone file at every call; zoneWatch has it read when it changes.
    curTime = localtime_r(&now, &clockReading);
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
        requestRepaint();
        // Started anew: the first tick falls just after the next second.
        keepTicking(true);
        writeDiagnostic("\nLCDOn\n");
    } else if (msg == "LCDOff") {
        writeDiagnostic("\nLCDOff\n");
        lcdOn = false;
        shown = true;
        show();
        keepTicking(false);
    } else {
        // Any client on the bus names messages: a name must not be able to
        // write lines of its own.
        writeDiagnostic("\nmsg:" + escapedForLine(msg) + "\n");
    }
}

void quelView::keyPressEvent(QKeyEvent* e)
{
    if (keyLinesWritten) {
        char line[48];
        std::snprintf(line, sizeof line, "keyCode:%ld\n", static_cast<long>(e->key()));
        writeDiagnostic(line);
    }

    if (e->key() == StarKey) {
        if (unlockArmed) {
            shown = false;
            hide();
            keepTicking(false);
            // With no time-out running nothing else would disarm the key, and
            // the next lock would give way to the star key alone.
            if (settings.timeOut <= 0)
                unlockArmed = false;
        }
    } else if (e->key() == MiddleKey) {
        unlockArmed = true;
        requestRepaint();
        // A time-out of zero or less would fire at once and leave no time for
        // the star key; then the key stays armed until an unlock completes.
        if (settings.timeOut > 0)
            QTimer::singleShot(settings.timeOut, this, SLOT(midKeyTimeOut()));
    }
    // Never passed on: no key has any effect beyond these.
}

void quelView::keepTicking(bool restart)
{
    if (!(shown && lcdOn))
        ticker.stop();
    else if (restart || !ticker.isRunning())
        ticker.align();
}

void quelView::midKeyTimeOut()
{
    unlockArmed = false;
    requestRepaint();
}

void quelView::timerEvent(QTimerEvent* e)
{
    // Where the window puts frames on the screen itself, the tick shows its
    // frame at once: the toolkit's repaint would only call paintEvent. Else
    // only the part of the window where frames change is repainted, asked
    // for through update() so that requests before the paint give one frame.
    if (shown && lcdOn) {
        if (presentsFrames() && !repaintRequested)
            showTickFrame();
        else
            requestRepaint(frameCoversScreen() ? damage.tickRect(phoneRect()) : phoneRect());
    }
    ticker.onTimer(e->timerId());
}

void quelView::composeFrame()
{
    const FrameContent content = contentNow();
    if (!bgPixmap.isNull() && !canvas.isNull() && canvasBackground == bgPixmap.cacheKey()
        && content == composedContent) {
        composeChangingPart();
        return;
    }
    // With no background there is nothing to draw on; the layers still run
    // (they read the clock and write their lines) into a sink that is thrown away.
    std::optional<QPicture> discarded;
    QPainter painter;
    if (bgPixmap.isNull()) {
        canvas = bgPixmap;
        painter.begin(&discarded.emplace());
    } else if (canvas.isDetached() && canvasBackground == bgPixmap.cacheKey()) {
        // The canvas of the last frame, held by nothing else: the background
        // is copied over it in place, which keeps its memory and its paint
        // engine from frame to frame.
        painter.begin(&canvas);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawPixmap(0, 0, bgPixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
        // A copy of its own: an assigned pixmap shares its data until written,
        // and drawing must never alter the background.
        canvas = bgPixmap;
        canvas.detach();
        canvasBackground = bgPixmap.cacheKey();
        painter.begin(&canvas);
    }
    drawAnalog(painter);
    drawDigital(painter);
    drawDate(painter);
    drawLunar(painter);
    drawNotify(painter);
    if (!bgPixmap.isNull()) {
        composedContent = content;
        keepTextAreas(painter);
    }
    painter.end();
    unshownArea = canvas.rect();
}

quelView::FrameContent quelView::contentNow()
{
    readClock();
    FrameContent content;
    content.year = curTime->tm_year;
    content.yearDay = curTime->tm_yday;
    content.armed = unlockArmed;
    content.valid = true;
    return content;
}

bool quelView::FrameContent::operator==(const FrameContent& other) const
{
    return valid && other.valid && year == other.year && yearDay == other.yearDay && armed == other.armed;
}

// Where a line of text may leave ink: its glyphs' box, with room for
// antialiasing. Text drawn by drawText itself may go anywhere.
static QRect textArea(const QPainter& painter, int x, int y, const QString& text)
{
    if (text.isEmpty())
        return QRect();
    if (!CachedTextLine::layoutDrawsAsDrawText(text))
        return QRect(QPoint(-(1 << 29), -(1 << 29)), QPoint(1 << 29, 1 << 29));
    constexpr int Margin = 4;
    const QRect box = painter.fontMetrics().boundingRect(text);
    // Skins may place text at any int; the sum is kept within reach.
    const auto bounded = [](qint64 v) { return int(std::clamp<qint64>(v, -(1 << 29), 1 << 29)); };
    return QRect(QPoint(bounded(qint64(x) + box.left() - Margin), bounded(qint64(y) + box.top() - Margin)),
                 QPoint(bounded(qint64(x) + box.right() + Margin), bounded(qint64(y) + box.bottom() + Margin)));
}

void quelView::keepTextAreas(QPainter& painter)
{
    applyTextStyle(painter, settings.dcSize, settings.dcColor);
    timeArea = QRect();
    for (char digit = '0'; digit <= '9'; ++digit) {
        const QString widest = QString(QStringLiteral("##:##:##")).replace(QLatin1Char('#'), QLatin1Char(digit));
        timeArea |= textArea(painter, settings.dcX, settings.dcY, widest);
    }
    applyTextStyle(painter, settings.dateSize, settings.dateColor);
    dateArea = textArea(painter, settings.dateX, settings.dateY, dateText());
    applyTextStyle(painter, settings.lunarSize, settings.lunarColor);
    lunarArea = textArea(painter, settings.lunarX, settings.lunarY, ctr(lunarToday().toLatin1().constData()));
    applyTextStyle(painter, settings.notifySize, settings.notifyColor);
    notifyArea = textArea(painter, settings.notifyX, settings.notifyY, notifyText());
}

void quelView::composeChangingPart()
{
    // The background, the face, the date, the lunar line and the hint are
    // as the last frame left them, and the hour and minute hands unless
    // they moved: only where a hand moved and where the digital time is
    // drawn is the canvas put back (to what lies under the second hand)
    // and composed anew, and over it whatever line of text reaches there.
    // Every layer still reads the clock and writes its lines, as a whole
    // frame does.
    readClock();
    const HandLines hands = handLines();
    updateUnderSecondHand(hands);
    const QString lunar = lunarToday();
    QPainter painter(&canvas);
    for (const QRect& part : changingParts(hands)) {
        unshownArea += part;
        painter.setClipRect(part);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawPixmap(part, underSecondHand, part);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (part.intersects(hands[2].inkBox()))
            drawHand(painter, hands[2]);
        if (part.intersects(capArea()))
            drawCap(painter);
        if (part.intersects(timeArea))
            drawDigital(painter);
        if (part.intersects(dateArea))
            drawDate(painter);
        if (part.intersects(lunarArea))
            drawLunarText(painter, lunar);
        if (part.intersects(notifyArea))
            drawNotify(painter);
    }
    handsShown = hands;
    writeLunarLength(lunar);
}

QRect quelView::handsReach() const
{
    const auto square = [](int x, int y, int length, int width) {
        const long long reach = std::min<long long>(std::llabs(length) + std::max(width, 1) + 2, 1 << 16);
        return QRect(QPoint(int(x - reach), int(y - reach)), QPoint(int(x + reach), int(y + reach)));
    };
    const int pivotX = clockX + facePart.storedSize.width() / 2;
    const int pivotY = clockY + facePart.storedSize.height() / 2;
    return square(pivotX, pivotY, settings.hourHeight, settings.hourWidth)
            | square(centerX, centerY, settings.minHeight, settings.minWidth)
            | square(centerX, centerY, settings.secHeight, settings.secWidth);
}

// Reads config.cfg, then the selected skin's skin.cfg, into the settings.
void quelView::readConfig()
{
    takeSettings(readSkinSettings(appDir));
    writeDiagnostic("\nconfig!\n");
}

// Loads the skin's three images and places the clock.
void quelView::initImg()
{
    takeImages(loadSkinImages(skinDir, settings, QSize(PhoneScreen::Width, PhoneScreen::Height)));
    writeDiagnostic("pix!\n");
    writeDiagnostic("\npix over!\n");
}

void quelView::takeSettings(SkinSettingsRead read)
{
    settings = std::move(read.settings);
    skinDir = std::move(read.folder);
    configReader = std::move(read.reader);
}

void quelView::takeImages(SkinImages images)
{
    underSecondHand = QPixmap();
    bgPixmap = std::move(images.background);
    clockPixmap = std::move(images.face);
    facePart = images.facePart;
    centerPixmap = std::move(images.cap);
    capPart = images.capPart;
    clockX = images.placement.clockX;
    clockY = images.placement.clockY;
    centerX = images.placement.centerX;
    centerY = images.placement.centerY;
}

void quelView::useSkin(const QString& name)
{
    LoadedSkin skin = loadSkin(appDir, name, QSize(PhoneScreen::Width, PhoneScreen::Height));
    takeSettings(std::move(skin.read));
    takeImages(std::move(skin.images));
    // Another skin: nothing shown so far tells what its frames change.
    damage.reset();
    damage.expectChanges(handsReach());
    composedContent = FrameContent();
}

QImage quelView::previewFrame(bool armed)
{
    const bool wasArmed = unlockArmed;
    unlockArmed = armed;
    composeFrame();
    unlockArmed = wasArmed;
    return canvas.toImage();
}

QRect quelView::phoneRect()
{
    return QRect(0, 0, PhoneScreen::Width, PhoneScreen::Height);
}

bool quelView::frameCoversScreen() const
{
    return FrameFit::covers(canvas.size(), canvas.hasAlphaChannel(), phoneRect().size());
}

void quelView::paintEvent(QPaintEvent* e)
{
    repaintRequested = false;
    const DiagnosticBatch frameLines;
    writeDiagnostic("\npaint\n");
    composeFrame();
    const QImage frame = canvas.toImage();
    showFrame(frame, e->region());
    if (frameCoversScreen()) {
        // Where the frame differs from the screen beyond the part repainted
        // (a hand longer than foreseen, text grown wider), a second repaint.
        const QRegion stale = damage.framePainted(frame, phonePart(e->region()));
        // Compared whole: only what is left to repaint differs.
        unshownArea = stale;
        if (!stale.isEmpty())
            requestRepaint(stale);
    } else {
        damage.reset();
    }
    writeDiagnostic("\npaint over\n");
    ZKbMainWidget::paintEvent(e);
}

void quelView::showTickFrame()
{
    const DiagnosticBatch frameLines;
    writeDiagnostic("\npaint\n");
    composeFrame();
    const QImage frame = canvas.toImage();
    if (!framesAreSeen()) {
        // Nothing to show the frame on: nothing to compare it with either.
        damage.reset();
    } else if (frameCoversScreen()) {
        showFrame(frame, windowPart(damage.frameShown(frame, unshownArea)));
    } else {
        damage.reset();
        showFrame(frame, rect());
    }
    unshownArea = QRegion();
    writeDiagnostic("\npaint over\n");
}

void quelView::requestRepaint()
{
    repaintRequested = true;
    update();
}

void quelView::requestRepaint(const QRegion& phonePart)
{
    repaintRequested = true;
    updatePhonePart(phonePart);
}
