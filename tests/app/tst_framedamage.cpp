// What a new frame changes on the window, and what a partial repaint leaves
// to repaint: the screen must end up showing every frame whole.
#include "app/framedamage.h"

#include <QTest>

namespace {
QImage frame(QRgb fill = 0xff336699)
{
    QImage image(240, 320, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

QImage withPixels(QImage image, const QList<QPoint>& points, QRgb colour = 0xffff0000)
{
    for (const QPoint& p : points)
        image.setPixel(p, colour);
    return image;
}
} // namespace

class tst_FrameDamage : public QObject
{
    Q_OBJECT
private slots:
    void difference_data();
    void difference();
    void windowEndsUpShowingTheFrame_data();
    void windowEndsUpShowingTheFrame();
    void tickRectCoversWhatChanged();
    void changesInsideATicksRepaintKeepItsRectangle();
    void keepsNoShareOfTheFrame_data();
    void keepsNoShareOfTheFrame();
    void frameShownFindsWhatChanged_data();
    void frameShownFindsWhatChanged();
    void frameShownOfAnotherSizeIsWhole();
};

void tst_FrameDamage::difference_data()
{
    QTest::addColumn<QList<QPoint>>("changed");
    QTest::addColumn<QRect>("skip");
    QTest::addColumn<QRegion>("expected");

    QTest::newRow("nothing") << QList<QPoint>() << QRect() << QRegion();
    QTest::newRow("one pixel") << QList<QPoint> { { 17, 40 } } << QRect() << QRegion(17, 40, 1, 1);
    QTest::newRow("the corners of a run") << QList<QPoint> { { 0, 0 }, { 239, 1 } } << QRect() << QRegion(0, 0, 240, 2);
    QTest::newRow("the last pixel") << QList<QPoint> { { 239, 319 } } << QRect() << QRegion(239, 319, 1, 1);
    // Rows apart: two rectangles, not their bounding box.
    QTest::newRow("two runs") << QList<QPoint> { { 10, 10 }, { 12, 11 }, { 200, 300 } } << QRect()
                              << (QRegion(10, 10, 3, 2) + QRegion(200, 300, 1, 1));
    // A part left out of the comparison: what changed there is not seen,
    // what changed beside, above or below it is, up to its very edge.
    const QRect skip(50, 100, 100, 50);
    QTest::newRow("inside the skipped part") << QList<QPoint> { { 50, 100 }, { 149, 149 }, { 90, 120 } } << skip
                                             << QRegion();
    QTest::newRow("just left and right of it") << QList<QPoint> { { 49, 120 }, { 150, 120 } } << skip
                                               << QRegion(49, 120, 102, 1);
    QTest::newRow("just above and below it") << QList<QPoint> { { 100, 99 }, { 100, 150 } } << skip
                                             << (QRegion(100, 99, 1, 1) + QRegion(100, 150, 1, 1));
    QTest::newRow("beside it and inside it") << QList<QPoint> { { 0, 100 }, { 60, 100 } } << skip << QRegion(0, 100, 1, 1);
    QTest::newRow("skipped part at the edges") << QList<QPoint> { { 0, 10 }, { 239, 10 }, { 5, 0 } }
                                               << QRect(0, 0, 240, 20) << QRegion();
    QTest::newRow("skipped part beyond the image") << QList<QPoint> { { 239, 319 }, { 0, 0 } }
                                                   << QRect(100, 300, 500, 500) << QRegion(0, 0, 1, 1);
    // Rows are searched 16 pixels at a time from each end, then one by one.
    QTest::newRow("first pixel of a block") << QList<QPoint> { { 16, 7 } } << QRect() << QRegion(16, 7, 1, 1);
    QTest::newRow("last pixel of a block") << QList<QPoint> { { 15, 7 } } << QRect() << QRegion(15, 7, 1, 1);
    QTest::newRow("first of the last block") << QList<QPoint> { { 224, 7 } } << QRect() << QRegion(224, 7, 1, 1);
    QTest::newRow("just before it") << QList<QPoint> { { 223, 7 } } << QRect() << QRegion(223, 7, 1, 1);
    QTest::newRow("both ends of a row") << QList<QPoint> { { 0, 7 }, { 239, 7 } } << QRect() << QRegion(0, 7, 240, 1);
    QTest::newRow("beside the skipped part, blocks apart") << QList<QPoint> { { 3, 120 }, { 236, 120 } } << skip
                                                           << QRegion(3, 120, 234, 1);
}

void tst_FrameDamage::difference()
{
    QFETCH(QList<QPoint>, changed);
    QFETCH(QRect, skip);
    QFETCH(QRegion, expected);
    QCOMPARE(FrameDamage::difference(withPixels(frame(), changed), frame(), skip), expected);
}

void tst_FrameDamage::windowEndsUpShowingTheFrame_data()
{
    QTest::addColumn<QRegion>("painted");
    QTest::addColumn<QRegion>("left");

    const QRegion change = QRegion(100, 100, 1, 1) + QRegion(5, 300, 1, 1);
    QTest::newRow("painted where it changed") << change << QRegion();
    QTest::newRow("painted all") << QRegion(0, 0, 240, 320) << QRegion();
    QTest::newRow("painted half of it") << QRegion(0, 0, 240, 200) << QRegion(5, 300, 1, 1);
    QTest::newRow("painted elsewhere") << QRegion(0, 0, 1, 1) << change;
    QTest::newRow("painted round one of them") << QRegion(90, 90, 20, 20) << QRegion(5, 300, 1, 1);
}

void tst_FrameDamage::windowEndsUpShowingTheFrame()
{
    QFETCH(QRegion, painted);
    QFETCH(QRegion, left);

    FrameDamage damage;
    // The first frame is painted whole.
    QCOMPARE(damage.framePainted(frame(), QRegion(0, 0, 240, 320)), QRegion());
    const QImage next = withPixels(frame(), { { 100, 100 }, { 5, 300 } });
    QCOMPARE(damage.framePainted(next, painted), left);
    if (left.isEmpty())
        return;
    // The repaint of what was left finishes the frame; then nothing differs.
    QCOMPARE(damage.framePainted(next, left), QRegion());
    QCOMPARE(damage.framePainted(next, QRegion(0, 0, 1, 1)), QRegion());
}

void tst_FrameDamage::tickRectCoversWhatChanged()
{
    FrameDamage damage;
    const QRect window(0, 0, 240, 320);
    // Nothing known of the window yet: all of it.
    QCOMPARE(damage.tickRect(window), window);
    damage.framePainted(frame(), window);
    // Nothing has changed yet: still one pixel, so that the tick paints.
    QCOMPARE(damage.tickRect(window).isEmpty(), false);

    damage.expectChanges(QRect(70, 110, 100, 100));
    damage.framePainted(withPixels(frame(), { { 10, 300 } }), window);
    const QRegion region = damage.tickRect(window);
    QCOMPARE(region.intersected(QRect(70, 110, 100, 100)), QRegion(70, 110, 100, 100));
    QVERIFY(region.contains(QPoint(10, 300)));
    QVERIFY(!region.contains(QPoint(200, 20)));
    // Never beyond the window.
    damage.expectChanges(QRect(-50, -50, 1000, 1000));
    QCOMPARE(damage.tickRect(window), window);
}

// A tick's repaint shows the frame wherever it changed inside the repainted
// rectangle: what changed there must not widen the next tick's rectangle.
void tst_FrameDamage::changesInsideATicksRepaintKeepItsRectangle()
{
    FrameDamage damage;
    const QRect window(0, 0, 240, 320);
    damage.expectChanges(QRect(70, 110, 100, 100));
    damage.framePainted(frame(), window);
    const QRect tick = damage.tickRect(window);
    QCOMPARE(tick, QRect(70, 110, 100, 100));
    // At the rectangle's corners, where a margin round a change reaches out of it.
    const QImage next = withPixels(frame(), { { 70, 110 }, { 169, 209 } });
    QCOMPARE(damage.framePainted(next, tick), QRegion());
    QCOMPARE(damage.tickRect(window), tick);
}

void tst_FrameDamage::keepsNoShareOfTheFrame_data()
{
    QTest::addColumn<QRegion>("painted");

    QTest::newRow("all") << QRegion(0, 0, 240, 320);
    QTest::newRow("a tick's rectangle") << QRegion(90, 90, 20, 20);
    QTest::newRow("two rectangles") << (QRegion(90, 90, 20, 20) + QRegion(0, 300, 10, 10));
    QTest::newRow("nothing of what changed") << QRegion(0, 0, 1, 1);
}

// The lock window composes each frame into the image of the last one; what
// the window is known to show must be a copy, so that the image is not
// shared (and copied again) when the next frame is drawn into it, and so
// that drawing it does not alter what is known to be shown.
void tst_FrameDamage::keepsNoShareOfTheFrame()
{
    QFETCH(QRegion, painted);

    FrameDamage damage;
    QImage canvas = frame();
    damage.framePainted(canvas, QRegion(0, 0, 240, 320));
    QVERIFY(canvas.isDetached());

    // The next frame, drawn into the same image.
    const QRgb* const pixels = reinterpret_cast<const QRgb*>(canvas.constBits());
    canvas.setPixel(100, 100, 0xffff0000);
    canvas.setPixel(5, 300, 0xffff0000);
    QCOMPARE(reinterpret_cast<const QRgb*>(canvas.constBits()), pixels);
    const QRegion left = damage.framePainted(canvas, painted);
    QVERIFY(canvas.isDetached());
    QCOMPARE(left, (QRegion(100, 100, 1, 1) + QRegion(5, 300, 1, 1)) - painted);
    if (!left.isEmpty())
        QCOMPARE(damage.framePainted(canvas, left), QRegion());
    // Now the window shows the frame everywhere.
    QCOMPARE(damage.framePainted(canvas, QRegion(0, 0, 1, 1)), QRegion());
}

void tst_FrameDamage::frameShownFindsWhatChanged_data()
{
    QTest::addColumn<QList<QPoint>>("changed");
    QTest::addColumn<QRect>("mayDiffer");
    QTest::addColumn<QRegion>("expected");

    const QRect area(50, 100, 100, 50);
    QTest::newRow("nothing") << QList<QPoint>() << area << QRegion();
    QTest::newRow("one pixel") << QList<QPoint> { { 90, 120 } } << area << QRegion(90, 120, 1, 1);
    QTest::newRow("the area's corners") << QList<QPoint> { { 50, 100 }, { 149, 149 } } << area
                                        << (QRegion(50, 100, 1, 1) + QRegion(149, 149, 1, 1));
    QTest::newRow("rows in a run") << QList<QPoint> { { 60, 110 }, { 140, 111 } } << area << QRegion(60, 110, 81, 2);
    // Where the caller knows nothing changed, nothing is looked at.
    QTest::newRow("only inside the area") << QList<QPoint> { { 49, 120 }, { 90, 120 }, { 90, 150 } } << area
                                          << QRegion(90, 120, 1, 1);
    QTest::newRow("the frame's last pixel") << QList<QPoint> { { 239, 319 } } << QRect(0, 0, 240, 320)
                                            << QRegion(239, 319, 1, 1);
    QTest::newRow("an area past the frame") << QList<QPoint> { { 239, 319 } } << QRect(200, 300, 100, 100)
                                            << QRegion(239, 319, 1, 1);
    QTest::newRow("an empty area") << QList<QPoint> { { 90, 120 } } << QRect() << QRegion();
}

// A window that puts its frames on the screen itself shows only what
// changed: each change exactly once, and then it counts as shown.
void tst_FrameDamage::frameShownFindsWhatChanged()
{
    QFETCH(QList<QPoint>, changed);
    QFETCH(QRect, mayDiffer);
    QFETCH(QRegion, expected);

    FrameDamage damage;
    // Nothing known of the window yet: all of it.
    QCOMPARE(damage.frameShown(frame(), mayDiffer), QRegion(0, 0, 240, 320));
    QImage canvas = withPixels(frame(), changed);
    QCOMPARE(damage.frameShown(canvas, mayDiffer), expected);
    QVERIFY(canvas.isDetached());
    QCOMPARE(damage.frameShown(canvas, mayDiffer), QRegion());

    // The next frame drawn into the same image: what the window is known to
    // show is not.
    canvas.setPixel(100, 125, 0xff00ff00);
    const QRegion next = damage.frameShown(canvas, QRect(0, 0, 240, 320));
    QVERIFY(next.contains(QPoint(100, 125)));
    QCOMPARE(damage.frameShown(canvas, QRect(0, 0, 240, 320)), QRegion());
}

void tst_FrameDamage::frameShownOfAnotherSizeIsWhole()
{
    FrameDamage damage;
    damage.frameShown(frame(), QRect(0, 0, 240, 320));
    QImage smaller(130, 100, QImage::Format_RGB32);
    smaller.fill(0xff336699);
    QCOMPARE(damage.frameShown(smaller, QRect(0, 0, 1, 1)), QRegion(0, 0, 130, 100));
    QCOMPARE(damage.frameShown(smaller, QRect(0, 0, 130, 100)), QRegion());
    // After a reset nothing is known of the window.
    damage.reset();
    QCOMPARE(damage.frameShown(smaller, QRect(0, 0, 1, 1)), QRegion(0, 0, 130, 100));
}

QTEST_GUILESS_MAIN(tst_FrameDamage)
#include "tst_framedamage.moc"
