// The lunar line on the frame: the decoded text drawn, its style and place,
// the "len:" line, and glyphs that really render with the installed fonts.
#include "common/fixedclock.h"
#include "common/lockwindowfixture.h"
#include "common/recordingdevice.h"
#include "common/stdoutcapture.h"

#include "app/quelview.h"
#include "common/quelviewaccess.h"
#include "lunar/lunarline.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <memory>

class tst_LunarLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void lineAtFixedDates_data();
    void lineAtFixedDates();
    void glyphsRender();
    void ctrDecodesUtf8();

private:
    // One window for every case, its clock set by each.
    FixedClock m_clock { time_t(0) };
    LockWindowFixture m_window { m_clock.clock() };
};

void tst_LunarLine::initTestCase()
{
    m_window.folder.writeClassic();
    m_window.open();
}

void tst_LunarLine::lineAtFixedDates_data()
{
    QTest::addColumn<QByteArray>("at");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");

    QTest::newRow("leap month") << QByteArray("2020-05-23 12:00:00") << QString::fromUtf8("鼠(庚子)年闰四月初一") << 29;
    QTest::newRow("day before") << QByteArray("2020-05-22 12:00:00") << QString::fromUtf8("鼠(庚子)年四月三十") << 26;
    QTest::newRow("2008-08-08") << QByteArray("2008-08-08 20:00:00") << QString::fromUtf8("鼠(戊子)年七月初八") << 26;
    QTest::newRow("this year") << QByteArray("2026-12-07 09:00:00") << QString::fromUtf8("马(丙午)年十月廿九") << 26;
    QTest::newRow("leap eleventh month") << QByteArray("2033-12-22 09:00:00") << QString::fromUtf8("牛(癸丑)年闰十一月初一") << 32;
    QTest::newRow("before the table") << QByteArray("1899-12-31 23:59:59") << QString() << 0;
    QTest::newRow("after the table") << QByteArray("2101-01-01 00:00:00") << QString() << 0;
}

void tst_LunarLine::lineAtFixedDates()
{
    QFETCH(QByteArray, at);
    QFETCH(QString, text);
    QFETCH(int, bytes);

    m_clock.set(at.constData());
    RecordingDevice device;
    StdoutCapture out;
    {
        QPainter painter(&device);
        QuelViewAccess(m_window.view()).drawLunar(painter);
    }
    QCOMPARE(out.take(), "\nlen:" + QByteArray::number(bytes) + "\n");
    if (text.isEmpty()) {
        QVERIFY(device.recorded.texts.isEmpty());
        return;
    }
    QCOMPARE(device.recorded.texts.size(), 1);
    QCOMPARE(device.recorded.texts[0].text, text);
    QCOMPARE(text.toUtf8().size(), bytes);
}

void tst_LunarLine::glyphsRender()
{
    // The installed fonts must hold these glyphs: no empty boxes.
    const QString text = QString::fromUtf8("鼠(庚子)年闰四月初一");
    QFontMetrics metrics(QFont(QStringLiteral("AMCSL"), 14));
    for (const QChar c : text)
        QVERIFY2(metrics.inFontUcs4(c.unicode()), qPrintable(QString(c) + " has no glyph"));

    // And the frame shows pixels of the lunar colour in the line's area;
    // a date without a lunar text shows none there.
    const auto litPixels = [this](const char* at) {
        m_clock.set(at);
        m_window.view().composeFrame();
        const QImage frame = QuelViewAccess(m_window.view()).canvas().toImage();
        int lit = 0;
        for (int y = 280 - 16; y <= 280 + 4; ++y)
            for (int x = 40; x < 230; ++x)
                lit += frame.pixelColor(x, y) == QColor(0xC0, 0xC0, 0xC0);
        return lit;
    };
    QCOMPARE(litPixels("2101-01-01 12:00:00"), 0);
    const int lit = litPixels("2020-05-23 12:00:00");
    QVERIFY2(lit > 40, qPrintable(QString::number(lit)));
}

void tst_LunarLine::ctrDecodesUtf8()
{
    QCOMPARE(ctr("\xe9\xbc\xa0(\xe5\xba\x9a\xe5\xad\x90)"), QString::fromUtf8("鼠(庚子)"));
    QCOMPARE(ctr(""), QString());
}

LOCKAPP_TEST_MAIN_LOG_TO_STDERR(tst_LunarLine)
#include "tst_lunarline.moc"
