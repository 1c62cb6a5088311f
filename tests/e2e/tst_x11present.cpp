// Frames put into an X11 window past the toolkit's backing store, read back
// from the X server (an Xvfb started here): exactly the part asked for
// changes, through shared memory over a local connection and over the
// connection itself over TCP. And the real lockapp, raised: its main thread
// sleeps once a frame, with no round trip to the server in between, and no
// other thread of it wakes for its frames.
#include "common/appfolder.h"
#include "harness/headlesssession.h"
#include "platform/x11/x11connection.h"
#include "platform/x11/x11framepresenter.h"
#include "platform/x11reply.h"
#include "platform/zwidget.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <xcb/xcb.h>

#include <fstream>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

// A window whose pixels only the presenter writes.
class ScreenWindow : public QWidget
{
public:
    explicit ScreenWindow(QSize size)
    {
        setWindowFlags(Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(QRect(QPoint(0, 0), size));
    }
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent*) override { }
};

QImage solid(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A lock-screen-like window: blue frames for the screen, and green wherever
// a painter on the window is asked for instead.
class PresentingWindow : public ZMainWidget
{
public:
    PresentingWindow() { setFixedSize(240, 320); }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        if (presentsFrames()) {
            presentFrame(solid(size(), qRgb(0, 0, 255)), e->region());
        } else {
            QPainter window(this);
            window.fillRect(rect(), QColor(0, 255, 0));
        }
    }
};

// Every pixel of its own colour.
QImage pattern(QSize size, QImage::Format format)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x & 0xff, y & 0xff, ((x >> 8) << 4 | (y >> 8)) ^ 0x5a));
    }
    return image.convertToFormat(format);
}

// What the X server shows in a window (or the root window: the screen).
QImage drawablePixels(uint32_t drawable, QSize size)
{
    xcb_connection_t* connection = x11Connection();
    const X11Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, 0, 0, static_cast<uint16_t>(size.width()),
                          static_cast<uint16_t>(size.height()), ~0u),
            nullptr));
    if (!reply)
        return QImage();
    return QImage(xcb_get_image_data(reply.get()), size.width(), size.height(), QImage::Format_RGB32).copy();
}

QImage windowPixels(const QWidget& window)
{
    return drawablePixels(static_cast<uint32_t>(window.winId()), window.size());
}

// What the screen shows where the window is: for a raised lock window, whose
// own pixels lie under the keyguard's overlay.
QImage screenPixels(const QWidget& window)
{
    const uint32_t root = xcb_setup_roots_iterator(xcb_get_setup(x11Connection())).data->root;
    const QRect place = window.geometry();
    return drawablePixels(root, QSize(place.right() + 1, place.bottom() + 1)).copy(place);
}

// The first row with a yellow pixel, or -1.
int firstYellowRow(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) < 80)
                return y;
        }
    }
    return -1;
}

// "" when shown is frame inside region and before elsewhere; else the first
// pixel that is not.
QString firstMismatch(const QImage& shown, const QImage& before, const QImage& frame, const QRegion& region)
{
    if (shown.size() != before.size())
        return QStringLiteral("read back %1x%2").arg(shown.width()).arg(shown.height());
    const QImage presented = frame.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const bool inside = region.contains(QPoint(x, y)) && presented.rect().contains(x, y);
            const QRgb expected = (inside ? presented : before).pixel(x, y) & RGB_MASK;
            const QRgb seen = shown.pixel(x, y) & RGB_MASK;
            if (seen != expected)
                return QStringLiteral("(%1, %2) %3: %4, expected %5")
                        .arg(x)
                        .arg(y)
                        .arg(inside ? "inside" : "outside")
                        .arg(seen, 6, 16, QLatin1Char('0'))
                        .arg(expected, 6, 16, QLatin1Char('0'));
        }
    }
    return QString();
}

} // namespace

class tst_X11Present : public QObject
{
    Q_OBJECT
public:
    tst_X11Present(const Xvfb& xvfb, bool overTcp) : m_xvfb(xvfb), m_overTcp(overTcp) { }

private slots:
    void presentsOnlyItsRegion_data();
    void presentsOnlyItsRegion();
    void followsAGrowingWindow();
    void grabPaintsThroughAPainter();
    void lockappSleepsOnceAFrame_data();
    void lockappSleepsOnceAFrame();
    void scaledLockappFillsItsWindow();

private:
    // The real lockapp on the test's Xvfb, raised with the display on.
    std::unique_ptr<ChildProcess> raiseLockapp(AppFolder& folder, const std::vector<std::string>& extraEnv = {});

    const Xvfb& m_xvfb;
    const bool m_overTcp;
};

void tst_X11Present::presentsOnlyItsRegion_data()
{
    QTest::addColumn<QRegion>("region");
    QTest::addColumn<QImage::Format>("format");
    // A tick's few KiB go over the connection even where memory is shared.
    QTest::newRow("a tick's change") << (QRegion(100, 100, 30, 20) + QRegion(10, 300, 8, 8)) << QImage::Format_RGB32;
    QTest::newRow("one rectangle") << QRegion(10, 20, 100, 50) << QImage::Format_RGB32;
    QTest::newRow("two rectangles") << (QRegion(0, 0, 40, 40) + QRegion(150, 200, 60, 90)) << QImage::Format_RGB32;
    QTest::newRow("past the frame's edges") << QRegion(200, 280, 100, 100) << QImage::Format_RGB32;
    QTest::newRow("whole window") << QRegion(0, 0, 240, 320) << QImage::Format_RGB32;
    QTest::newRow("premultiplied, opaque") << QRegion(30, 30, 90, 200) << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("16-bit, converted") << QRegion(30, 30, 90, 200) << QImage::Format_RGB16;
}

void tst_X11Present::presentsOnlyItsRegion()
{
    QFETCH(QRegion, region);
    QFETCH(QImage::Format, format);
    const QSize size(240, 320);
    ScreenWindow window(size);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    X11FramePresenter presenter(&window);
    const QImage before = solid(size, qRgb(200, 30, 30));
    presenter.present(before, window.rect());
    const QImage frame = pattern(size, format);
    presenter.present(frame, region);

    const QString mismatch = firstMismatch(windowPixels(window), before, frame, region);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QCOMPARE(presenter.sharesMemory(), !m_overTcp);
}

void tst_X11Present::followsAGrowingWindow()
{
    ScreenWindow window(QSize(120, 160));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    X11FramePresenter presenter(&window);
    presenter.present(solid(window.size(), qRgb(0, 0, 255)), window.rect());

    // Larger than the memory the first frame needed.
    window.resize(400, 600);
    QTRY_COMPARE(window.size(), QSize(400, 600));
    const QImage before = solid(window.size(), qRgb(0, 128, 0));
    presenter.present(before, window.rect());
    const QImage frame = pattern(window.size(), QImage::Format_RGB32);
    const QRegion region = QRegion(0, 0, 400, 20) + QRegion(300, 500, 100, 100);
    presenter.present(frame, region);

    const QString mismatch = firstMismatch(windowPixels(window), before, frame, region);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void tst_X11Present::grabPaintsThroughAPainter()
{
    PresentingWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage blue = solid(window.size(), qRgb(0, 0, 255));
    QTRY_COMPARE(screenPixels(window).pixel(120, 160) & RGB_MASK, qRgb(0, 0, 255) & RGB_MASK);
    QCOMPARE(firstMismatch(screenPixels(window), blue, blue, QRegion()), QString());

    const QImage green = solid(window.size(), qRgb(0, 255, 0));
    const QImage grabbed = window.grab().toImage();
    QCOMPARE(firstMismatch(grabbed.convertToFormat(QImage::Format_RGB32), green, green, QRegion()), QString());
    window.hide();
}

std::unique_ptr<ChildProcess> tst_X11Present::raiseLockapp(AppFolder& folder, const std::vector<std::string>& extraEnv)
{
    if (!folder.installClassicLockapp())
        return nullptr;
    std::vector<std::string> env = { "QT_QPA_PLATFORM=xcb", "DISPLAY=" + m_xvfb.display() };
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    auto lockapp = std::make_unique<ChildProcess>(std::vector<std::string> { folder.programPath().toStdString() }, true, env);
    lockapp->expect("\npix over!\n", 0);
    sendOverBus("LCDOff");
    lockapp->expect("\npaint over\n", 0);
    sendOverBus("LCDOn");
    lockapp->expect("\nLCDOn\n", 0);
    return lockapp;
}

void tst_X11Present::lockappSleepsOnceAFrame_data()
{
    QTest::addColumn<bool>("phoneSized");
    // Pixel for pixel, a tick changes a few KiB: put over the connection,
    // with nothing for the server to answer. Scaled to the screen, four
    // times as much goes through shared memory, and the fence's answer
    // wakes the toolkit's reader thread.
    QTest::newRow("phone-sized window") << true;
    QTest::newRow("scaled over the screen") << false;
}

void tst_X11Present::lockappSleepsOnceAFrame()
{
    QFETCH(bool, phoneSized);
    AppFolder folder;
    const auto raised = raiseLockapp(folder, { phoneSized ? "LOCKAPP_FULLSCREEN=0" : "LOCKAPP_FULLSCREEN=1" });
    QVERIFY(raised);
    ChildProcess& lockapp = *raised;
    std::this_thread::sleep_for(1500ms);

    // The main thread sleeps in the event loop between ticks. Were each
    // frame to wait for the server before painting, it would sleep twice.
    // And, pixel for pixel, no other thread wakes: an answer from the server
    // to each frame would wake the toolkit's thread that reads the connection.
    const size_t from = lockapp.size();
    const qint64 before = contextSwitches(lockapp.pid(), SwitchCount::MainThreadSleeps);
    const qint64 allBefore = contextSwitches(lockapp.pid(), SwitchCount::AllThreadsSleeps);
    std::this_thread::sleep_for(8s);
    const qint64 after = contextSwitches(lockapp.pid(), SwitchCount::MainThreadSleeps);
    const qint64 allAfter = contextSwitches(lockapp.pid(), SwitchCount::AllThreadsSleeps);
    const size_t frames = lockapp.count("\npaint over\n", from, lockapp.size());
    QVERIFY(before >= 0 && after >= before && allBefore >= 0 && allAfter >= allBefore);
    QVERIFY2(frames >= 7, qPrintable(QStringLiteral("%1 frames in 8 s").arg(frames)));
    QVERIFY2(after - before <= qint64(frames + frames / 2),
             qPrintable(QStringLiteral("the main thread slept %1 times in %2 frames").arg(after - before).arg(frames)));
    if (phoneSized)
        QVERIFY2(allAfter - allBefore <= qint64(frames + frames / 2),
                 qPrintable(QStringLiteral("its threads slept %1 times in %2 frames").arg(allAfter - allBefore).arg(frames)));
}

void tst_X11Present::scaledLockappFillsItsWindow()
{
    // Scaled twice over the whole 480 x 640 screen, the frame is left to the
    // toolkit's backing store; put pixel for pixel it would fill only the
    // window's top-left quarter. The hint's yellow text, in the frame's
    // last 30 rows, shows at the bottom of the screen.
    AppFolder folder;
    const auto lockapp = raiseLockapp(folder, { "QT_SCALE_FACTOR=2", "LOCKAPP_FULLSCREEN=1" });
    QVERIFY(lockapp);
    const uint32_t root = xcb_setup_roots_iterator(xcb_get_setup(x11Connection())).data->root;
    QTRY_VERIFY2_WITH_TIMEOUT(firstYellowRow(drawablePixels(root, QSize(480, 640))) >= 580,
                              qPrintable(QStringLiteral("yellow from row %1")
                                                 .arg(firstYellowRow(drawablePixels(root, QSize(480, 640))))),
                              5000);
}

int main(int argc, char** argv)
{
    // LOCKAPP_TEST_X_OVER_TCP=1: the server as if on another machine.
    const bool overTcp = qEnvironmentVariableIntValue("LOCKAPP_TEST_X_OVER_TCP") == 1;
    const Xvfb xvfb("480x640x24", overTcp ? Xvfb::Reach::Tcp : Xvfb::Reach::Local);
    qputenv("DISPLAY", QByteArray::fromStdString(xvfb.display()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    tst_X11Present test(xvfb, overTcp);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_x11present.moc"
