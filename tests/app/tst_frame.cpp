// Whole frames composed from real images: pixels probed away from text.
#include "common/fixedclock.h"
#include "common/lockwindowfixture.h"

#include "app/framedamage.h"
#include "app/quelview.h"
#include "common/quelviewaccess.h"

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QTest>

#include <memory>

class tst_Frame : public QObject
{
    Q_OBJECT
private slots:
    void handsInTheirColours_data();
    void handsInTheirColours();
    void backgroundIsNeverDrawnOn();
    void smallerBackgroundGivesSmallerFrame();
    void missingBackgroundGivesNoFrame();
    void windowShowsThroughTransparentBackground();
    void nextFrameLeavesNothingOfTheLast_data();
    void nextFrameLeavesNothingOfTheLast();
    void previewKeepsItsPixelsAfterTheNextFrame();
    void partFramesMatchWholeFrames_data();
    void partFramesMatchWholeFrames();

private:
    // The hand probe skin over a background of the given size.
    static std::unique_ptr<LockWindowFixture> open(const FixedClock& clock, QSize background = QSize(240, 320),
                                                   bool halfTransparent = false);
    static QImage frame(quelView& view);
};

namespace {
constexpr QRgb Background = 0xff102030;
constexpr QRgb Hour = 0xff00ff00;
constexpr QRgb Minute = 0xff0000ff;
constexpr QRgb Second = 0xffff0000;
} // namespace

std::unique_ptr<LockWindowFixture> tst_Frame::open(const FixedClock& clock, QSize background, bool halfTransparent)
{
    auto window = std::make_unique<LockWindowFixture>(clock.clock());
    window->folder.writeHandProbe(background, QSize(100, 100), QSize(21, 21));
    if (halfTransparent) {
        // The left half clear, the right half opaque.
        QImage image(background, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        for (int y = 0; y < image.height(); ++y)
            for (int x = image.width() / 2; x < image.width(); ++x)
                image.setPixel(x, y, Background);
        if (!image.save(window->folder.path() + QStringLiteral("/skin/classic/back.png")))
            return nullptr;
    }
    window->open();
    return window;
}

QImage tst_Frame::frame(quelView& view)
{
    view.composeFrame();
    return QuelViewAccess(view).canvas().toImage().convertToFormat(QImage::Format_ARGB32);
}

void tst_Frame::handsInTheirColours_data()
{
    QTest::addColumn<QByteArray>("time");
    QTest::addColumn<QPoint>("probe");
    QTest::addColumn<uint>("colour");

    // Upright at midnight: the second hand (drawn last, 1 px) on top.
    QTest::newRow("00:00:00 second tip") << QByteArray("2026-03-07 00:00:00") << QPoint(120, 95) << uint(Second);
    QTest::newRow("00:00:00 second over minute") << QByteArray("2026-03-07 00:00:00") << QPoint(120, 130) << uint(Second);
    QTest::newRow("00:00:00 minute beside second") << QByteArray("2026-03-07 00:00:00") << QPoint(121, 105) << uint(Minute);
    QTest::newRow("00:00:00 hour beside minute") << QByteArray("2026-03-07 00:00:00") << QPoint(118, 130) << uint(Hour);
    QTest::newRow("00:00:00 beyond the second hand") << QByteArray("2026-03-07 00:00:00") << QPoint(120, 85) << uint(Background);
    // At three the hour hand points right, minute and second hands up.
    QTest::newRow("03:00:00 hour") << QByteArray("2026-03-07 03:00:00") << QPoint(150, 160) << uint(Hour);
    QTest::newRow("03:00:00 minute") << QByteArray("2026-03-07 03:00:00") << QPoint(121, 120) << uint(Minute);
    QTest::newRow("03:00:00 second") << QByteArray("2026-03-07 03:00:00") << QPoint(120, 120) << uint(Second);
    QTest::newRow("03:00:00 nothing left") << QByteArray("2026-03-07 03:00:00") << QPoint(90, 160) << uint(0xff808080);
    QTest::newRow("03:00:00 background") << QByteArray("2026-03-07 03:00:00") << QPoint(20, 20) << uint(Background);
}

void tst_Frame::handsInTheirColours()
{
    QFETCH(QByteArray, time);
    QFETCH(QPoint, probe);
    QFETCH(uint, colour);

    FixedClock clock(time.constData());
    auto window = open(clock);
    const QImage image = frame(window->view());
    QCOMPARE(image.size(), QSize(240, 320));
    QCOMPARE(QColor(image.pixel(probe)), QColor(QRgb(colour)));
}

void tst_Frame::backgroundIsNeverDrawnOn()
{
    FixedClock clock("2026-03-07 10:08:42");
    auto window = open(clock);
    QuelViewAccess access(window->view());
    const QImage before = access.background().toImage();
    const QImage first = frame(window->view());
    const QImage second = frame(window->view());
    QCOMPARE(access.background().toImage(), before);
    QCOMPARE(first, second);
    QVERIFY(first != before.convertToFormat(QImage::Format_ARGB32));
}

void tst_Frame::smallerBackgroundGivesSmallerFrame()
{
    FixedClock clock("2026-03-07 00:00:00");
    auto window = open(clock, QSize(130, 100));
    const QImage image = frame(window->view());
    QCOMPARE(image.size(), QSize(130, 100));
    // The upright second hand is clipped to the frame.
    QCOMPARE(QColor(image.pixel(120, 95)), QColor(QRgb(Second)));

    // In the window, what lies outside the frame is the window's own background.
    window->view().resize(240, 320);
    const QImage shown = window->view().grab().toImage();
    QCOMPARE(QColor(shown.pixel(20, 20)), QColor(QRgb(Background)));
    QCOMPARE(shown.pixelColor(200, 200), window->view().palette().color(QPalette::Window));
    QCOMPARE(shown.pixelColor(120, 130), window->view().palette().color(QPalette::Window));
}

void tst_Frame::missingBackgroundGivesNoFrame()
{
    FixedClock clock("2026-03-07 00:00:00");
    auto window = open(clock, QSize());
    QVERIFY(QuelViewAccess(window->view()).background().isNull());
    window->view().composeFrame();
    QVERIFY(QuelViewAccess(window->view()).canvas().isNull());

    window->view().resize(240, 320);
    const QImage shown = window->view().grab().toImage();
    const QColor plain = window->view().palette().color(QPalette::Window);
    for (const QPoint probe : { QPoint(120, 95), QPoint(120, 160), QPoint(70, 230), QPoint(20, 20) })
        QCOMPARE(shown.pixelColor(probe), plain);
}

void tst_Frame::windowShowsThroughTransparentBackground()
{
    FixedClock clock("2026-03-07 00:00:00");
    auto window = open(clock, QSize(240, 320), true);
    QVERIFY(window);

    window->view().resize(240, 320);
    const QImage shown = window->view().grab().toImage();
    QCOMPARE(shown.pixelColor(20, 20), window->view().palette().color(QPalette::Window));
    QCOMPARE(shown.pixelColor(220, 20), QColor(QRgb(Background)));
}

void tst_Frame::nextFrameLeavesNothingOfTheLast_data()
{
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("next");

    QTest::newRow("opaque, a second later") << false << QByteArray("2026-03-07 10:08:42") << QByteArray("2026-03-07 10:08:43");
    QTest::newRow("opaque, hands across the face") << false << QByteArray("2026-03-07 10:08:42")
                                                   << QByteArray("2026-03-07 03:47:17");
    QTest::newRow("opaque, the date turns") << false << QByteArray("2026-12-31 23:59:59") << QByteArray("2027-01-01 00:00:00");
    QTest::newRow("half transparent, hands across the face") << true << QByteArray("2026-03-07 10:08:42")
                                                             << QByteArray("2026-03-07 03:47:17");
}

// Frames after the first are composed over the last one in the same canvas:
// each must be the frame a new window composes at that time, pixel for pixel.
void tst_Frame::nextFrameLeavesNothingOfTheLast()
{
    QFETCH(bool, transparent);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, next);

    FixedClock clock(first.constData());
    auto reused = open(clock, QSize(240, 320), transparent);
    QVERIFY(reused);
    const QImage before = frame(reused->view());
    clock.set(next.constData());
    const QImage after = frame(reused->view());
    auto fresh = open(clock, QSize(240, 320), transparent);
    QVERIFY(fresh);
    QCOMPARE(after, frame(fresh->view()));
    QVERIFY(after != before);
}

// A preview hands out the frame's image; the next frame, composed in the same
// canvas, must not change it.
void tst_Frame::previewKeepsItsPixelsAfterTheNextFrame()
{
    FixedClock clock("2026-03-07 10:08:42");
    auto window = open(clock);
    const QImage first = window->view().previewFrame(false);
    const QImage firstCopy = first.copy();
    clock.set("2026-03-07 03:47:17");
    const QImage second = window->view().previewFrame(true);
    QCOMPARE(first, firstCopy);
    QVERIFY(second != first);
}

QTEST_MAIN(tst_Frame)
#include "tst_frame.moc"

void tst_Frame::partFramesMatchWholeFrames_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QByteArray>("hostile");
    QTest::newRow("classic") << QStringLiteral("classic") << QByteArray();
    QTest::newRow("night") << QStringLiteral("night") << QByteArray();
    // Every line of text over the hands and over each other, hands longer
    // than the screen, sizes out of range.
    QTest::newRow("hostile values") << QStringLiteral("classic")
                                    << QByteArray("[Analog]\nHourHeight=400\nMinHeight=-90\nSecHeight=2147483647\n"
                                                  "HourWidth=30\nSecWidth=-5\n[Digital]\nDCX=60\nDCY=110\n"
                                                  "DCSize=60\n[Date]\nDateX=50\nDateY=120\nDateSize=40\n"
                                                  "[Lunar]\nLunarX=-20\nLunarY=130\nLunarSize=300\n"
                                                  "[Notify]\nNotifyX=0\nNotifyY=100\nNotifySize=0\n"
                                                  "NotifyWord0=\\t\\tover the clock\n");
}

void tst_Frame::partFramesMatchWholeFrames()
{
    // Frame after frame of a moving clock, each composed from the last as
    // the lock screen does, against the same second composed whole: across
    // the minute, hour, day, month and year, the lunar year (25 January
    // 2020), a day of seconds in steps, and the hint switching.
    QFETCH(QString, skin);
    QFETCH(QByteArray, hostile);
    FixedClock clock("2019-12-31 23:59:30");
    LockWindowFixture window(clock.clock());
    QVERIFY(window.folder.installBundledSkin(skin));
    if (!hostile.isEmpty()) {
        QFile cfg(window.folder.path() + QStringLiteral("/skin/") + skin + QStringLiteral("/skin.cfg"));
        QVERIFY(cfg.open(QIODevice::Append));
        cfg.write(hostile);
    }
    quelView& view = window.open();
    QuelViewAccess access(view);
    std::vector<time_t> seconds;
    for (const char* from : { "2019-12-31 23:59:30", "2020-01-24 23:58:55" }) {
        const time_t start = FixedClock::utcSeconds(from);
        for (time_t at = start; at < start + 70; ++at)
            seconds.push_back(at);
    }
    for (time_t at = FixedClock::utcSeconds("2020-01-25 00:00:00"); seconds.size() < 600; at += 211)
        seconds.push_back(at);
    int frames = 0;
    QString lines;
    for (size_t i = 0; i < seconds.size(); ++i) {
        clock.set(seconds[i]);
        // The hint switches as at the unlock keys, and back at the time-out.
        access.setUnlockArmed(i % 50 >= 45);
        // A line of new text is drawn a shade differently the first time it
        // is shaped: it is shaped by a whole frame first, so that what is
        // compared is the part against the whole, not a first line against
        // a second.
        const QString now = QuelViewAccess(view).frameText();
        if (now != lines)
            access.composeWholeFrame();
        lines = now;
        view.composeFrame();
        const QImage part = access.canvas().toImage();
        access.composeWholeFrame();
        const QImage whole = access.canvas().toImage();
        if (part != whole) {
            const QRect differ = FrameDamage::difference(part, whole).boundingRect();
            QFAIL(qPrintable(QStringLiteral("at %1 the frame composed from the last differs from the whole "
                                            "frame in (%2,%3 %4x%5)")
                                     .arg(QDateTime::fromSecsSinceEpoch(seconds[i], Qt::UTC).toString(Qt::ISODate))
                                     .arg(differ.x())
                                     .arg(differ.y())
                                     .arg(differ.width())
                                     .arg(differ.height())));
        }
        // The next frame starts from a canvas the part path has not seen.
        view.composeFrame();
        ++frames;
    }
    QCOMPARE(frames, 600);
}
