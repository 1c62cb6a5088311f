// The digital time placed glyph by glyph must match QPainter::drawText pixel
// for pixel at every time, size and place, and characters whose glyphs
// depend on their neighbours must go to drawText.
#include "clock/glyphsettext.h"
#include "clock/textstyle.h"

#include <QImage>
#include <QPainter>
#include <QTest>

class tst_GlyphSetText : public QObject
{
    Q_OBJECT
private slots:
    void timeMatchesDrawText_data();
    void timeMatchesDrawText();
    void neighbourDependentGlyphsGoToDrawText_data();
    void neighbourDependentGlyphsGoToDrawText();
    void followsFontDirectionAndDevice();
};

namespace {
const QString TimeCharacters = QStringLiteral("0123456789:");

// Something under the text, so that blending shows: two colours split
// across the middle, and a gradient.
QImage canvas()
{
    QImage image(240, 320, QImage::Format_RGB32);
    image.fill(QColor(30, 60, 90));
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 240, 0);
    gradient.setColorAt(0, QColor(200, 180, 20));
    gradient.setColorAt(1, QColor(10, 200, 240));
    painter.fillRect(0, 110, 240, 210, gradient);
    return image;
}

QImage drawn(GlyphSetText* line, const QStringList& texts, int size, QPoint at, const QString& colour)
{
    QImage image = canvas();
    QPainter painter(&image);
    for (const QString& text : texts) {
        applyTextStyle(painter, size, colour);
        if (line)
            line->draw(painter, at.x(), at.y(), text);
        else
            painter.drawText(at.x(), at.y(), text);
    }
    return image;
}

QString clockText(int h, int m, int s)
{
    return QString::asprintf("%02d:%02d:%02d", h, m, s);
}
} // namespace

void tst_GlyphSetText::timeMatchesDrawText_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("colour");

    // The bundled skins' sizes and places, and the edges of the screen.
    QTest::newRow("classic") << 22 << QPoint(70, 120) << QStringLiteral("16777215");
    QTest::newRow("small") << 12 << QPoint(80, 150) << QStringLiteral("0");
    QTest::newRow("tiny") << 6 << QPoint(3, 9) << QStringLiteral("16711680");
    QTest::newRow("large") << 48 << QPoint(0, 200) << QStringLiteral("65280");
    QTest::newRow("huge, past the right edge") << 120 << QPoint(10, 300) << QStringLiteral("255");
    QTest::newRow("size zero") << 0 << QPoint(50, 110) << QStringLiteral("8421504");
    QTest::newRow("size missing") << -1 << QPoint(50, 111) << QStringLiteral("8421504");
    QTest::newRow("off the left") << 22 << QPoint(-40, 130) << QStringLiteral("16777215");
    QTest::newRow("above the top") << 22 << QPoint(20, 5) << QStringLiteral("16777215");
    QTest::newRow("below the bottom") << 22 << QPoint(20, 400) << QStringLiteral("16777215");
}

void tst_GlyphSetText::timeMatchesDrawText()
{
    QFETCH(int, size);
    QFETCH(QPoint, at);
    QFETCH(QString, colour);

    // One line kept across the frames, as the lock window keeps it: times
    // that together put every digit in every place, midnight and the last
    // second of the day, and hours past 24 that a far clock could give.
    GlyphSetText line(TimeCharacters);
    QList<QString> times = { clockText(0, 0, 0), clockText(23, 59, 59), clockText(12, 0, 1), clockText(99, 99, 99) };
    for (int i = 0; i < 40; ++i)
        times.append(clockText((i * 7) % 24, (i * 13 + 5) % 60, (i * 31 + 11) % 60));
    for (int d = 0; d < 10; ++d)
        times.append(QString(8, QChar(u'0' + d)).replace(2, 1, QLatin1Char(':')).replace(5, 1, QLatin1Char(':')));
    int fromGlyphs = 0;
    for (const QString& text : times) {
        const QImage expected = drawn(nullptr, { text }, size, at, colour);
        QVERIFY2(drawn(&line, { text }, size, at, colour) == expected, qPrintable(text));
        fromGlyphs += line.drewFromGlyphs() ? 1 : 0;
    }
    // The time's font places its digits and colons without kerning: the
    // glyphs are placed here, not handed back to drawText.
    QCOMPARE(fromGlyphs, times.size());
}

void tst_GlyphSetText::neighbourDependentGlyphsGoToDrawText_data()
{
    QTest::addColumn<QString>("characters");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fromGlyphs");

    QTest::newRow("kerned pair") << QStringLiteral("AVTo.") << QStringLiteral("AVATo.") << false;
    QTest::newRow("combining mark") << QStringLiteral("e\u0301") << QStringLiteral("e\u0301e") << false;
    QTest::newRow("character outside the set") << TimeCharacters << QStringLiteral("12:34:5x") << false;
    QTest::newRow("Chinese and Latin fonts") << QStringLiteral("1年") << QStringLiteral("11年") << false;
    QTest::newRow("time") << TimeCharacters << QStringLiteral("09:41:27") << true;
}

void tst_GlyphSetText::neighbourDependentGlyphsGoToDrawText()
{
    QFETCH(QString, characters);
    QFETCH(QString, text);
    QFETCH(bool, fromGlyphs);

    GlyphSetText line(characters);
    const QString colour = QStringLiteral("16777215");
    QCOMPARE(drawn(&line, { text }, 22, QPoint(20, 140), colour), drawn(nullptr, { text }, 22, QPoint(20, 140), colour));
    QCOMPARE(line.drewFromGlyphs(), fromGlyphs);
}

void tst_GlyphSetText::followsFontDirectionAndDevice()
{
    GlyphSetText line(TimeCharacters);
    const QString colour = QStringLiteral("16777215");
    const QString time = QStringLiteral("10:20:30");
    // Another size after the first: the glyphs of the first must not be reused.
    QCOMPARE(drawn(&line, { time, time }, 12, QPoint(20, 140), colour),
             drawn(nullptr, { time, time }, 12, QPoint(20, 140), colour));
    QCOMPARE(drawn(&line, { time }, 30, QPoint(20, 140), colour), drawn(nullptr, { time }, 30, QPoint(20, 140), colour));
    QVERIFY(line.drewFromGlyphs());

    // Right to left goes to drawText.
    {
        QImage mine = canvas();
        QImage reference = canvas();
        QPainter a(&mine);
        QPainter b(&reference);
        for (QPainter* p : { &a, &b }) {
            p->setLayoutDirection(Qt::RightToLeft);
            applyTextStyle(*p, 22, colour);
        }
        line.draw(a, 20, 140, time);
        QVERIFY(!line.drewFromGlyphs());
        b.drawText(20, 140, time);
        a.end();
        b.end();
        QCOMPARE(mine, reference);
    }

    // A device of twice the resolution gives the same point size other pixels.
    QImage dense = canvas();
    dense.setDotsPerMeterX(dense.dotsPerMeterX() * 2);
    dense.setDotsPerMeterY(dense.dotsPerMeterY() * 2);
    QImage denseExpected = dense;
    {
        QPainter painter(&dense);
        applyTextStyle(painter, 22, colour);
        line.draw(painter, 20, 140, time);
        QPainter reference(&denseExpected);
        applyTextStyle(reference, 22, colour);
        reference.drawText(20, 140, time);
    }
    QCOMPARE(dense, denseExpected);
}

QTEST_MAIN(tst_GlyphSetText)
#include "tst_glyphsettext.moc"
