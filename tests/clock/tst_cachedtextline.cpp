// A text line drawn from its kept layout must match QPainter::drawText pixel
// for pixel, and a layout must never be reused for other text or another font.
#include "clock/cachedtextline.h"
#include "clock/textstyle.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>

class tst_CachedTextLine : public QObject
{
    Q_OBJECT
private slots:
    void matchesDrawText_data();
    void matchesDrawText();
    void decoratedFontMatchesDrawText_data();
    void decoratedFontMatchesDrawText();
    void layoutFollowsTextFontAndDevice();
    void megabyteLineIsShapedOnce();
};

namespace {
// A canvas with something under the text, so blending shows.
QImage canvas(QSize size = QSize(240, 320))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(30, 60, 90));
    QPainter painter(&image);
    painter.fillRect(0, size.height() / 2, size.width(), size.height() / 2, QColor(200, 180, 20));
    return image;
}

QImage drawn(bool cached, const QString& text, int size, QPoint at, CachedTextLine* line = nullptr,
             void (*decorate)(QFont&) = nullptr)
{
    QImage image = canvas();
    QPainter painter(&image);
    applyTextStyle(painter, size, QStringLiteral("16777215"));
    if (decorate) {
        QFont font = painter.font();
        decorate(font);
        painter.setFont(font);
    }
    if (!cached) {
        painter.drawText(at.x(), at.y(), text);
    } else {
        CachedTextLine own;
        (line ? *line : own).draw(painter, at.x(), at.y(), text);
    }
    return image;
}
} // namespace

void tst_CachedTextLine::matchesDrawText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("size");
    QTest::addColumn<QPoint>("at");

    const QPoint hint(20, 300);
    QTest::newRow("time") << QStringLiteral("09:41:27") << 22 << QPoint(70, 120);
    QTest::newRow("date") << QStringLiteral("2026/03/07") << 12 << QPoint(80, 150);
    QTest::newRow("lunar") << QStringLiteral("丙午年正月十九") << 12 << QPoint(70, 170);
    QTest::newRow("hint") << QStringLiteral("Press * to unlock") << 12 << hint;
    QTest::newRow("latin and cjk") << QStringLiteral("按 * 解锁 unlock 123") << 14 << hint;
    QTest::newRow("arabic") << QStringLiteral("مرحبا بالعالم") << 14 << hint;
    QTest::newRow("hebrew in latin") << QStringLiteral("abc עברית 123 def") << 14 << hint;
    QTest::newRow("combining marks") << QStringLiteral("e\u0301a\u0308o\u0303") << 20 << hint;
    QTest::newRow("joiners and nbsp") << QStringLiteral("a\u200db\u00a0c\u00add\u200be") << 14 << hint;
    QTest::newRow("emoji") << QStringLiteral("\U0001F512 locked") << 14 << hint;
    QTest::newRow("spaces around") << QStringLiteral("   gap   ") << 14 << hint;
    QTest::newRow("one space") << QStringLiteral(" ") << 14 << hint;
    QTest::newRow("huge") << QStringLiteral("Ag") << 200 << QPoint(0, 250);
    QTest::newRow("size zero") << QStringLiteral("size zero") << 0 << hint;
    QTest::newRow("size missing") << QStringLiteral("size -1") << -1 << hint;
    QTest::newRow("negative place") << QStringLiteral("off the left") << 14 << QPoint(-30, 5);
    QTest::newRow("below the canvas") << QStringLiteral("unseen") << 14 << QPoint(10, 400);
    QTest::newRow("past the right edge") << QString(300, QLatin1Char('x')) << 12 << hint;
    QTest::newRow("longer than glyphs are kept for") << QString(1500, QLatin1Char('w')) << 12 << hint;
    // Drawn by drawText itself: a layout would break or space these otherwise.
    QTest::newRow("tab") << QStringLiteral("a\tb") << 14 << hint;
    QTest::newRow("line feed") << QStringLiteral("a\nb") << 14 << hint;
    QTest::newRow("line separator") << QStringLiteral("a\u2028b") << 14 << hint;
}

void tst_CachedTextLine::matchesDrawText()
{
    QFETCH(QString, text);
    QFETCH(int, size);
    QFETCH(QPoint, at);
    const QImage expected = drawn(false, text, size, at);
    QCOMPARE(drawn(true, text, size, at), expected);
    // The second draw from the same layout as well.
    CachedTextLine line;
    drawn(true, text, size, at, &line);
    QCOMPARE(drawn(true, text, size, at, &line), expected);
}

using Decoration = void (*)(QFont&);
Q_DECLARE_METATYPE(Decoration)

void tst_CachedTextLine::decoratedFontMatchesDrawText_data()
{
    QTest::addColumn<Decoration>("decorate");
    QTest::newRow("underline") << Decoration([](QFont& f) { f.setUnderline(true); });
    QTest::newRow("overline") << Decoration([](QFont& f) { f.setOverline(true); });
    QTest::newRow("strike-out") << Decoration([](QFont& f) { f.setStrikeOut(true); });
}

// A font that draws lines of its own, not only glyphs: the glyph runs carry them.
void tst_CachedTextLine::decoratedFontMatchesDrawText()
{
    QFETCH(Decoration, decorate);
    const QString text = QStringLiteral("Press * to unlock");
    const QPoint at(20, 150);
    CachedTextLine line;
    drawn(true, text, 14, at, &line, decorate);
    QCOMPARE(drawn(true, text, 14, at, &line, decorate), drawn(false, text, 14, at, nullptr, decorate));
}

void tst_CachedTextLine::layoutFollowsTextFontAndDevice()
{
    CachedTextLine line;
    const QPoint at(20, 300);
    drawn(true, QStringLiteral("Press * to unlock"), 12, at, &line);
    QVERIFY(!line.reusedLayout());

    const QImage same = drawn(true, QStringLiteral("Press * to unlock"), 12, at, &line);
    QVERIFY(line.reusedLayout());
    QCOMPARE(same, drawn(false, QStringLiteral("Press * to unlock"), 12, at));

    // The armed hint replaces the text, a skin with another size the font.
    const QImage otherText = drawn(true, QStringLiteral("Press * again"), 12, at, &line);
    QVERIFY(!line.reusedLayout());
    QCOMPARE(otherText, drawn(false, QStringLiteral("Press * again"), 12, at));
    const QImage otherSize = drawn(true, QStringLiteral("Press * again"), 20, at, &line);
    QVERIFY(!line.reusedLayout());
    QCOMPARE(otherSize, drawn(false, QStringLiteral("Press * again"), 20, at));

    // A device of another resolution resolves the same point size to other pixels.
    QImage dense = canvas();
    dense.setDotsPerMeterX(dense.dotsPerMeterX() * 2);
    dense.setDotsPerMeterY(dense.dotsPerMeterY() * 2);
    QImage denseExpected = dense;
    {
        QPainter painter(&dense);
        applyTextStyle(painter, 20, QStringLiteral("16777215"));
        line.draw(painter, at.x(), at.y(), QStringLiteral("Press * again"));
        QVERIFY(!line.reusedLayout());
        QPainter reference(&denseExpected);
        applyTextStyle(reference, 20, QStringLiteral("16777215"));
        reference.drawText(at, QStringLiteral("Press * again"));
    }
    QCOMPARE(dense, denseExpected);
}

void tst_CachedTextLine::megabyteLineIsShapedOnce()
{
    const QString hint(1 << 20, QLatin1Char('w'));
    CachedTextLine line;
    const QImage first = drawn(true, hint, 12, QPoint(20, 300), &line);
    QElapsedTimer timer;
    timer.start();
    const QImage second = drawn(true, hint, 12, QPoint(20, 300), &line);
    const qint64 ms = timer.elapsed();
    QVERIFY(line.reusedLayout());
    QCOMPARE(second, first);
    QCOMPARE(first, drawn(false, hint, 12, QPoint(20, 300)));
    qInfo("a frame of a 1 MiB hint from its kept layout: %lld ms", ms);
}

QTEST_MAIN(tst_CachedTextLine)
#include "tst_cachedtextline.moc"
