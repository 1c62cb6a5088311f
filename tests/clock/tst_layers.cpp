// The analog clock and text layers at fixed times, recorded as drawing calls:
// hand ends, pens, the cap's corner, texts and their style.
#include "common/fixedclock.h"
#include "common/lockwindowfixture.h"
#include "common/recordingdevice.h"

#include "app/quelview.h"
#include "common/quelviewaccess.h"
#include "clock/SpeciOperation.h"

#include <QPainter>
#include <QTest>

#include <memory>

// One layer of the frame, drawn by itself.
using Layer = void (QuelViewAccess::*)(QPainter&);
Q_DECLARE_METATYPE(Layer)

class tst_Layers : public QObject
{
    Q_OBJECT
private slots:
    void handsAtFixedTimes_data();
    void handsAtFixedTimes();
    void leapSecondTurnsTheSecondHandFully();
    void handPensFollowTheSkin();
    void capCorner_data();
    void capCorner();
    void digitalTimeAndDate_data();
    void digitalTimeAndDate();
    void textStyle_data();
    void textStyle();
    void hintFollowsTheArmedFlag();
    void missingSettingsReachDrawingUnchanged();

private:
    // The classic skin with a face of `face` px centred on the screen, so the
    // pivot is (120, 160), and hands 50, 60 and 70 px long.
    static std::unique_ptr<LockWindowFixture> open(const FixedClock& clock, QSize face = QSize(100, 100),
                                                   QSize cap = QSize(21, 21));
    static RecordingDevice::Recording record(quelView& view, Layer layer);
};

std::unique_ptr<LockWindowFixture> tst_Layers::open(const FixedClock& clock, QSize face, QSize cap)
{
    auto window = std::make_unique<LockWindowFixture>(clock.clock());
    window->folder.writeHandProbe(QSize(240, 320), face, cap);
    window->open();
    return window;
}

RecordingDevice::Recording tst_Layers::record(quelView& view, Layer layer)
{
    RecordingDevice device;
    QPainter painter(&device);
    QuelViewAccess access(view);
    (access.*layer)(painter);
    painter.end();
    return device.recorded;
}

namespace {
// Where a hand of `length` from (120, 160) ends when turned by `angle`.
QPoint handEnd(double angle, int length)
{
    SpeciOperation rotation;
    rotation.rotate(float(angle), 120.0f, 160.0f);
    int x = 120;
    int y = 160 - length;
    rotation.Change(x, y, 3);
    return { x, y };
}
} // namespace

void tst_Layers::handsAtFixedTimes_data()
{
    QTest::addColumn<QByteArray>("time");
    QTest::addColumn<QPoint>("hour");
    QTest::addColumn<QPoint>("minute");
    QTest::addColumn<QPoint>("second");

    QTest::newRow("00:00:00 all upright") << QByteArray("2026-03-07 00:00:00")
                                          << QPoint(120, 110) << QPoint(120, 100) << QPoint(120, 90);
    // 360 degrees of 3.14-based radians fall a little short of a full turn.
    QTest::newRow("12:00:00") << QByteArray("2026-03-07 12:00:00")
                              << QPoint(119, 110) << QPoint(120, 100) << QPoint(120, 90);
    QTest::newRow("11:59:00") << QByteArray("2026-03-07 11:59:00")
                              << handEnd(11 * 30.0 + 59 / 2.3, 50) << handEnd(354, 60) << QPoint(120, 90);
    // The hour is not reduced modulo 12.
    QTest::newRow("23:59:59") << QByteArray("2026-03-07 23:59:59")
                              << handEnd(23 * 30.0 + 59 / 2.3, 50) << handEnd(354 + 4, 60) << handEnd(354, 70);
    // The minute hand steps one degree every 13 seconds.
    QTest::newRow("minute 7, second 12") << QByteArray("2026-03-07 00:07:12")
                                         << handEnd(7 / 2.3, 50) << handEnd(42, 60) << handEnd(72, 70);
    QTest::newRow("minute 7, second 13") << QByteArray("2026-03-07 00:07:13")
                                         << handEnd(7 / 2.3, 50) << handEnd(43, 60) << handEnd(78, 70);
    QTest::newRow("03:00:30") << QByteArray("2026-03-07 03:00:30")
                              << QPoint(169, 159) << handEnd(2, 60) << handEnd(180, 70);
}

void tst_Layers::handsAtFixedTimes()
{
    QFETCH(QByteArray, time);
    QFETCH(QPoint, hour);
    QFETCH(QPoint, minute);
    QFETCH(QPoint, second);

    FixedClock clock(time.constData());
    auto window = open(clock);
    const RecordingDevice::Recording drawn = record(window->view(), &QuelViewAccess::drawAnalog);

    QCOMPARE(drawn.lines.size(), 3);
    const QPoint pivot(120, 160);
    QCOMPARE(drawn.lines[0].line, QLine(pivot, hour));
    QCOMPARE(drawn.lines[1].line, QLine(pivot, minute));
    QCOMPARE(drawn.lines[2].line, QLine(pivot, second));
    // The layer leaves its reading in curTime.
    QCOMPARE(QuelViewAccess(window->view()).curTime()->tm_sec, QTime::fromString(time.mid(11), "HH:mm:ss").second());
}

void tst_Layers::leapSecondTurnsTheSecondHandFully()
{
    // 2016-12-31 23:59:60 UTC, counted with leap seconds.
    FixedClock clock(1483228826, "right/UTC");
    auto window = open(clock);
    const RecordingDevice::Recording drawn = record(window->view(), &QuelViewAccess::drawAnalog);
    QCOMPARE(QuelViewAccess(window->view()).curTime()->tm_sec, 60);
    QCOMPARE(drawn.lines[2].line.p2(), QPoint(119, 90));
}

void tst_Layers::handPensFollowTheSkin()
{
    FixedClock clock("2026-03-07 10:10:10");
    auto window = open(clock);
    const RecordingDevice::Recording drawn = record(window->view(), &QuelViewAccess::drawAnalog);
    QCOMPARE(drawn.lines[0].colour, QColor(0, 255, 0));
    QCOMPARE(drawn.lines[0].width, 4);
    QCOMPARE(drawn.lines[1].colour, QColor(0, 0, 255));
    QCOMPARE(drawn.lines[1].width, 3);
    QCOMPARE(drawn.lines[2].colour, QColor(255, 0, 0));
    QCOMPARE(drawn.lines[2].width, 1);
    // Face first, cap last, over the hands.
    QCOMPARE(drawn.pixmaps.size(), 2);
    QCOMPARE(drawn.pixmaps[0].at, QPoint(70, 110));
    QCOMPARE(drawn.pixmaps[0].size, QSize(100, 100));
}

void tst_Layers::capCorner_data()
{
    QTest::addColumn<QSize>("face");
    QTest::addColumn<QSize>("cap");
    QTest::addColumn<QPoint>("corner");

    // Halving the difference: 64 from the face's edge, not 75 - 10 = 65.
    QTest::newRow("even face, odd cap") << QSize(150, 150) << QSize(21, 21) << QPoint(45 + 64, 85 + 64);
    QTest::newRow("odd face, odd cap") << QSize(151, 151) << QSize(21, 21) << QPoint(44 + 65, 84 + 65);
    // A difference of -3 halves toward zero to -1.
    QTest::newRow("cap larger than face") << QSize(20, 20) << QSize(23, 23) << QPoint(110 - 1, 150 - 1);
    QTest::newRow("no face") << QSize() << QSize(21, 21) << QPoint(120 - 10, 160 - 10);
}

void tst_Layers::capCorner()
{
    QFETCH(QSize, face);
    QFETCH(QSize, cap);
    QFETCH(QPoint, corner);

    FixedClock clock("2026-03-07 10:10:10");
    auto window = open(clock, face, cap);
    const RecordingDevice::Recording drawn = record(window->view(), &QuelViewAccess::drawAnalog);
    // A face that failed to load draws nothing; the cap is still drawn.
    QCOMPARE(drawn.pixmaps.last().at, corner);
    QCOMPARE(drawn.pixmaps.last().size, cap);
}

void tst_Layers::digitalTimeAndDate_data()
{
    QTest::addColumn<qlonglong>("at");
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("date");

    QTest::newRow("09:05:03") << qlonglong(FixedClock::utcSeconds("2026-03-07 09:05:03")) << QByteArray("UTC")
                              << "09:05:03" << "2026/03/07";
    QTest::newRow("midnight") << qlonglong(FixedClock::utcSeconds("2026-12-31 00:00:00")) << QByteArray("UTC")
                              << "00:00:00" << "2026/12/31";
    QTest::newRow("leap second") << qlonglong(1483228826) << QByteArray("right/UTC") << "23:59:60" << "2016/12/31";
    QTest::newRow("local zone") << qlonglong(FixedClock::utcSeconds("2026-03-07 23:30:00"))
                                << QByteArray("Asia/Shanghai") << "07:30:00" << "2026/03/08";
    QTest::newRow("three-digit year") << qlonglong(FixedClock::utcSeconds("0999-01-02 03:04:05"))
                                      << QByteArray("UTC") << "03:04:05" << " 999/01/02";
}

void tst_Layers::digitalTimeAndDate()
{
    QFETCH(qlonglong, at);
    QFETCH(QByteArray, zone);
    QFETCH(QString, time);
    QFETCH(QString, date);

    FixedClock clock(time_t(at), zone.constData());
    auto window = open(clock);
    const RecordingDevice::Recording digital = record(window->view(), &QuelViewAccess::drawDigital);
    const RecordingDevice::Recording dated = record(window->view(), &QuelViewAccess::drawDate);
    QCOMPARE(digital.texts.size(), 1);
    QCOMPARE(digital.texts[0].text, time);
    QCOMPARE(dated.texts.size(), 1);
    QCOMPARE(dated.texts[0].text, date);
}

// Every line of text shares one style; the skin gives each its size, colour
// and place.
void tst_Layers::textStyle_data()
{
    QTest::addColumn<Layer>("layer");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("digital time") << Layer(&QuelViewAccess::drawDigital) << 20 << QColor(255, 255, 255) << QPoint(70, 235);
    QTest::newRow("date") << Layer(&QuelViewAccess::drawDate) << 14 << QColor(0xC0, 0xC0, 0xC0) << QPoint(75, 258);
    QTest::newRow("lunar date") << Layer(&QuelViewAccess::drawLunar) << 14 << QColor(0xC0, 0xC0, 0xC0) << QPoint(40, 280);
    QTest::newRow("hint") << Layer(&QuelViewAccess::drawNotify) << 12 << QColor(255, 255, 0) << QPoint(20, 305);
}

void tst_Layers::textStyle()
{
    QFETCH(Layer, layer);
    QFETCH(int, pointSize);
    QFETCH(QColor, colour);
    QFETCH(QPoint, at);
    FixedClock clock("2026-03-07 09:05:03");
    auto window = open(clock);
    const RecordingDevice::Recording drawn = record(window->view(), layer);

    QCOMPARE(drawn.texts.size(), 1);
    const RecordingDevice::Text& t = drawn.texts[0];
    QCOMPARE(t.family, QStringLiteral("AMCSL"));
    QCOMPARE(t.pointSize, pointSize);
    QCOMPARE(t.weight, int(QFont::Normal));
    QCOMPARE(t.italic, false);
    QCOMPARE(t.colour, colour);
    QCOMPARE(t.penWidth, 1.0);
    QCOMPARE(t.penStyle, Qt::SolidLine);
    // The position is the left end of the baseline.
    QCOMPARE(t.at, at);
}

void tst_Layers::hintFollowsTheArmedFlag()
{
    FixedClock clock("2026-03-07 10:10:10");
    auto window = open(clock);
    QuelViewAccess access(window->view());
    const RecordingDevice::Recording idle = record(window->view(), &QuelViewAccess::drawNotify);
    access.setUnlockArmed(true);
    const RecordingDevice::Recording armed = record(window->view(), &QuelViewAccess::drawNotify);

    QCOMPARE(idle.texts.size(), 1);
    QCOMPARE(idle.texts[0].text, QStringLiteral("Press the centre key to unlock"));
    QCOMPARE(armed.texts.size(), 1);
    QCOMPARE(armed.texts[0].text, QStringLiteral("Now press the star key"));
    // Same font, colour and place for both texts.
    QCOMPARE(armed.texts[0].at, QPoint(20, 305));
    QCOMPARE(armed.texts[0].at, idle.texts[0].at);
    QCOMPARE(armed.texts[0].pointSize, 12);
    QCOMPARE(armed.texts[0].colour, QColor(255, 255, 0));
    QCOMPARE(armed.texts[0].colour, idle.texts[0].colour);
}

void tst_Layers::missingSettingsReachDrawingUnchanged()
{
    FixedClock clock("2026-03-07 00:00:00");
    LockWindowFixture window(clock.clock());
    window.folder.writeConfig("[General]\nSkin=bare\n");
    window.folder.writeSkin(QStringLiteral("bare"), "[Notify]\nNotifyWord0=hint\nNotifyColor=0xFFFF00\n");
    quelView& view = window.open();

    const RecordingDevice::Recording analog = record(view, &QuelViewAccess::drawAnalog);
    // Lengths of -1: each hand is a one-pixel stub below the pivot, in black;
    // widths of -1 draw one pixel wide.
    QCOMPARE(analog.lines.size(), 3);
    for (const auto& hand : analog.lines) {
        QCOMPARE(hand.line, QLine(0, 0, 0, 1));
        QCOMPARE(hand.colour, QColor(Qt::black));
        QCOMPARE(hand.width, 1);
    }
    const RecordingDevice::Recording hint = record(view, &QuelViewAccess::drawNotify);
    QCOMPARE(hint.texts[0].at, QPoint(-1, -1));
    QCOMPARE(hint.texts[0].colour, QColor(Qt::black));
    // An empty second text draws nothing while armed.
    QuelViewAccess(view).setUnlockArmed(true);
    QCOMPARE(record(view, &QuelViewAccess::drawNotify).texts.size(), 0);
}

QTEST_MAIN(tst_Layers)
#include "tst_layers.moc"
