// Frames painted at the edges of the clock's range: the ends of the lunar
// table, the epoch, the 32-bit rollover, the last years the C library can
// break down and times it cannot; and a clock that jumps backwards while the
// lock screen ticks.
#include "common/fixedclock.h"
#include "common/lockwindowfixture.h"
#include "common/recordingdevice.h"
#include "common/stdoutcapture.h"
#include "lockdriver.h"

#include "app/quelview.h"
#include "common/quelviewaccess.h"

#include <QApplication>
#include <QPainter>
#include <QTest>

#include <limits>
#include <memory>

class tst_ClockRange : public QObject
{
    Q_OBJECT
private slots:
    void framesAtTheEdges_data();
    void framesAtTheEdges();
    void clockJumpsBackward_data();
    void clockJumpsBackward();
};

namespace {
// The texts the three time layers draw, recorded rather than rasterised.
struct Texts
{
    QString time;
    QString date;
    QString lunar;
};

Texts recordTexts(quelView& view)
{
    RecordingDevice device;
    QPainter painter(&device);
    QuelViewAccess access(view);
    access.drawDigital(painter);
    access.drawDate(painter);
    access.drawLunar(painter);
    painter.end();
    Texts texts;
    const auto& recorded = device.recorded.texts;
    if (recorded.size() >= 2) {
        texts.time = recorded[0].text;
        texts.date = recorded[1].text;
    }
    // An empty lunar text may draw no text item at all.
    if (recorded.size() >= 3)
        texts.lunar = recorded[2].text;
    return texts;
}

// The "len:N" lines of a diagnostic text, in order.
QList<int> lunarLengths(const QByteArray& text)
{
    QList<int> lengths;
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith("len:"))
            lengths << line.mid(4).toInt();
    }
    return lengths;
}

constexpr qint64 LastBrokenDown = 67768036191676799LL;    // 2147485547-12-31 23:59:59, tm_year == INT_MAX
constexpr qint64 FirstBrokenDown = -67768040609740800LL;  // -2147481748-01-01 00:00:00, tm_year == INT_MIN
} // namespace

void tst_ClockRange::framesAtTheEdges_data()
{
    QTest::addColumn<qint64>("at");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("hasLunar");

    const auto utc = [](const char* text) { return qint64(FixedClock::utcSeconds(text)); };
    QTest::newRow("1899-12-31") << utc("1899-12-31 12:00:00") << "12:00:00" << "1899/12/31" << false;
    QTest::newRow("1900-01-30, the day before the table") << utc("1900-01-30 23:59:59") << "23:59:59" << "1900/01/30" << false;
    QTest::newRow("1900-01-31, the table's first day") << utc("1900-01-31 00:00:00") << "00:00:00" << "1900/01/31" << true;
    QTest::newRow("2100-12-31, the table's last day") << utc("2100-12-31 23:59:59") << "23:59:59" << "2100/12/31" << true;
    QTest::newRow("2101-01-01") << utc("2101-01-01 00:00:00") << "00:00:00" << "2101/01/01" << false;
    QTest::newRow("1970-01-01 00:00:00") << qint64(0) << "00:00:00" << "1970/01/01" << true;
    QTest::newRow("1969-12-31 23:59:59") << qint64(-1) << "23:59:59" << "1969/12/31" << true;
    QTest::newRow("2038-01-19 03:14:07") << qint64(2147483647) << "03:14:07" << "2038/01/19" << true;
    QTest::newRow("2038-01-19 03:14:08") << qint64(2147483648LL) << "03:14:08" << "2038/01/19" << true;
    QTest::newRow("9999-12-31 23:59:59") << utc("9999-12-31 23:59:59") << "23:59:59" << "9999/12/31" << false;
    QTest::newRow("10000-01-01") << qint64(253402300800LL) << "00:00:00" << "10000/01/01" << false;
    QTest::newRow("0001-01-01") << qint64(-62135596800LL) << "00:00:00" << "   1/01/01" << false;
    QTest::newRow("the last second the C library breaks down") << LastBrokenDown << "23:59:59" << "2147485547/12/31" << false;
    QTest::newRow("the first second the C library breaks down") << FirstBrokenDown << "00:00:00" << "-2147481748/01/01" << false;
    // Beyond what localtime can break down, the window shows the epoch.
    QTest::newRow("one past the last") << LastBrokenDown + 1 << "00:00:00" << "1970/01/01" << true;
    QTest::newRow("one before the first") << FirstBrokenDown - 1 << "00:00:00" << "1970/01/01" << true;
    QTest::newRow("largest time_t") << std::numeric_limits<qint64>::max() << "00:00:00" << "1970/01/01" << true;
    QTest::newRow("smallest time_t") << std::numeric_limits<qint64>::min() << "00:00:00" << "1970/01/01" << true;
}

void tst_ClockRange::framesAtTheEdges()
{
    QFETCH(qint64, at);
    QFETCH(QString, time);
    QFETCH(QString, date);
    QFETCH(bool, hasLunar);

    FixedClock clock{ time_t(at) };
    LockWindowFixture window(clock.clock());
    window.openClassic();
    const Texts texts = recordTexts(window.view());
    QCOMPARE(texts.time, time);
    QCOMPARE(texts.date, date);
    QCOMPARE(!texts.lunar.isEmpty(), hasLunar);

    // Whole frames through the real window, and the lunar line's length with
    // each: empty where there is no data.
    CycleFigures figures;
    verifyLockCycle(window.view(), window.out(), &figures);
    if (QTest::currentTestFailed())
        return;
    window.out().take();
    window.view().composeFrame();
    const QList<int> lengths = lunarLengths(window.out().take());
    QCOMPARE(lengths.size(), 1);
    QCOMPARE(lengths[0] > 0, hasLunar);
    if (hasLunar)
        QCOMPARE(lengths[0], int(texts.lunar.toUtf8().size()));
}

void tst_ClockRange::clockJumpsBackward_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<qint64>("jump");
    QTest::addColumn<QString>("dateBefore");
    QTest::addColumn<QString>("dateAfter");
    QTest::addColumn<bool>("lunarAfter");

    QTest::newRow("a day back") << QByteArray("2026-03-07 00:00:05") << qint64(-86400) << "2026/03/07" << "2026/03/06" << true;
    QTest::newRow("a day back, out of the table") << QByteArray("1900-01-31 12:00:00") << qint64(-86400)
                                                  << "1900/01/31" << "1900/01/30" << false;
    QTest::newRow("a day back, before the epoch") << QByteArray("1970-01-01 06:00:00") << qint64(-86400)
                                                  << "1970/01/01" << "1969/12/31" << true;
    QTest::newRow("a century back") << QByteArray("2100-12-31 23:59:58") << qint64(-100LL * 365 * 86400)
                                    << "2100/12/31" << "2001/01/24" << true;
}

void tst_ClockRange::clockJumpsBackward()
{
    QFETCH(QByteArray, from);
    QFETCH(qint64, jump);
    QFETCH(QString, dateBefore);
    QFETCH(QString, dateAfter);
    QFETCH(bool, lunarAfter);

    const time_t start = FixedClock::utcSeconds(from.constData());
    FixedClock clock{ start };
    LockWindowFixture window(clock.clock());
    window.openClassic();
    QuelViewAccess access(window.view());

    QVERIFY(sendToChannel("LCDOff"));
    QVERIFY(sendToChannel("LCDOn"));
    QByteArray seen;
    QVERIFY(window.out().waitFor("\npaint over\n", &seen));
    QCOMPARE(recordTexts(window.view()).date, dateBefore);

    clock.set(start + time_t(jump));
    // The window's one-second ticks go on and paint the new date.
    seen.clear();
    QVERIFY2(window.out().waitFor("\npaint over\n", &seen, 2, 3000 * slowdownFactor()),
             "the ticks stopped after the clock jumped");
    QCOMPARE(countLines(seen, "paint"), countLines(seen, "paint over"));
    QCOMPARE(recordTexts(window.view()).date, dateAfter);
    const QList<int> lengths = lunarLengths(seen);
    QVERIFY(!lengths.isEmpty());
    QCOMPARE(lengths.last() > 0, lunarAfter);
    QVERIFY(window.view().isVisible());
    QVERIFY(access.shown());
}

LOCKAPP_TEST_MAIN_LOG_TO_STDERR(tst_ClockRange)
#include "tst_clockrange.moc"
