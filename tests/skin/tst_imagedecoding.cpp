#include "common/appfolder.h"
#include "common/fixedclock.h"
#include "common/lockwindowfixture.h"
#include "common/quelviewaccess.h"
#include "harness/largepng.h"

#include "app/quelview.h"
#include "platform/diagnostics.h"
#include "skin/imageprobe.h"
#include "skin/skinloading.h"

#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

// Images are decoded only where they can show; what they show must not
// change for it.
class tst_ImageDecoding : public QObject
{
    Q_OBJECT
private slots:
    void partIsWhatWholeDecodeCutGives_data();
    void partIsWhatWholeDecodeCutGives();
    void cutPngShowsAllOrNothing_data();
    void cutPngShowsAllOrNothing();
    void hugeImagesShowTheirVisiblePart_data();
    void hugeImagesShowTheirVisiblePart();
    void imageBeyondTheLargestSideIsSaidOnce();
    void textSizesBeyondTheLargestDrawAtIt_data();
    void textSizesBeyondTheLargestDrawAtIt();
};

namespace {

// Colour and alpha that change from pixel to pixel, so that any pixel taken
// from the wrong place, or converted differently, shows.
QImage varied(QSize size, QImage::Format format)
{
    QImage image(size, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgba(x * 255 / size.width(), y * 255 / size.height(), int(random.bounded(256)),
                                       format == QImage::Format_ARGB32 || format == QImage::Format_RGBA64
                                           ? int(random.bounded(256)) : 255));
    if (format == QImage::Format_Indexed8)
        return image.convertToFormat(format, Qt::ThresholdDither | Qt::AvoidDither);
    return image.convertToFormat(format);
}

QImage asArgb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

void tst_ImageDecoding::partIsWhatWholeDecodeCutGives_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("part");

    const QList<QPair<const char*, QRect>> parts = {
        { "whole", QRect(0, 0, 97, 83) },
        { "inside", QRect(13, 7, 50, 41) },
        { "over the edges", QRect(-20, -30, 70, 60) },
        { "beyond", QRect(200, 10, 40, 40) },
    };
    const char* kinds[] = { "png rgb", "png argb", "png indexed", "png grey", "png grey 16", "png rgba 16",
                            "png interlaced", "jpeg rgb", "jpeg grey" };
    for (const char* kind : kinds)
        for (const auto& part : parts)
            QTest::addRow("%s, %s", kind, part.first) << QString::fromLatin1(kind) << part.second;
}

void tst_ImageDecoding::partIsWhatWholeDecodeCutGives()
{
    QFETCH(QString, kind);
    QFETCH(QRect, part);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image"));
    const QSize size(97, 83);
    if (kind == QLatin1String("png interlaced")) {
        QVERIFY(LargePng::write(path, size.width(), size.height(), true));
    } else {
        const QMap<QString, QImage::Format> formats = {
            { "png rgb", QImage::Format_RGB32 },      { "png argb", QImage::Format_ARGB32 },
            { "png indexed", QImage::Format_Indexed8 }, { "png grey", QImage::Format_Grayscale8 },
            { "png grey 16", QImage::Format_Grayscale16 }, { "png rgba 16", QImage::Format_RGBA64 },
            { "jpeg rgb", QImage::Format_RGB32 },     { "jpeg grey", QImage::Format_Grayscale8 },
        };
        QVERIFY(formats.contains(kind));
        QVERIFY(varied(size, formats.value(kind)).save(path, kind.startsWith(QLatin1String("png")) ? "PNG" : "JPEG", 90));
    }

    // The toolkit's reader, decoding all of it, then the part cut out.
    QImageReader whole(path);
    const QRect shown = part & QRect(QPoint(0, 0), size);
    const QImage expected = shown.isEmpty() ? QImage() : asArgb(whole.read()).copy(shown);

    const ImageProbe probe = ImageProbe::of(path, [part](QSize) { return part; });
    QCOMPARE(probe.outcome, ImageProbe::Loaded);
    QCOMPARE(probe.size, size);
    QCOMPARE(asArgb(probe.image), expected);
    if (!shown.isEmpty())
        QCOMPARE(probe.offset, shown.topLeft());
}

void tst_ImageDecoding::cutPngShowsAllOrNothing_data()
{
    QTest::addColumn<bool>("interlaced");
    QTest::addColumn<int>("cutFromEnd");  // bytes taken off the end; negative: percent of the file
    QTest::addColumn<bool>("shown");

    for (const bool interlaced : { false, true }) {
        const char* kind = interlaced ? "interlaced" : "plain";
        // After the image data: every pixel is there.
        QTest::addRow("%s, last byte", kind) << interlaced << 1 << true;
        QTest::addRow("%s, no end chunk", kind) << interlaced << 12 << true;
        // Into it: the end of the compressed stream, half, all but the header.
        QTest::addRow("%s, end of the data", kind) << interlaced << 20 << false;
        QTest::addRow("%s, half", kind) << interlaced << -50 << false;
        QTest::addRow("%s, header only", kind) << interlaced << -95 << false;
    }
}

// A PNG cut short shows whole, when every pixel is in the file, or not at
// all: never its top with garbage or nothing below.
void tst_ImageDecoding::cutPngShowsAllOrNothing()
{
    QFETCH(bool, interlaced);
    QFETCH(int, cutFromEnd);
    QFETCH(bool, shown);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.png"));
    if (interlaced)
        QVERIFY(LargePng::write(path, 61, 47, true));
    else
        QVERIFY(varied(QSize(61, 47), QImage::Format_RGB32).save(path, "PNG"));
    const QImage uncut(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.resize(cutFromEnd > 0 ? file.size() - cutFromEnd : file.size() * (100 + cutFromEnd) / 100));
    file.close();

    const ImageProbe probe = ImageProbe::of(path, [](QSize) { return QRect(0, 0, 240, 320); });
    QCOMPARE(probe.outcome, shown ? ImageProbe::Loaded : ImageProbe::Broken);
    QCOMPARE(asArgb(probe.image), shown ? asArgb(uncut) : QImage());
}

void tst_ImageDecoding::hugeImagesShowTheirVisiblePart_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("interlaced");

    // The largest loaded: it compresses to well under a megabyte.
    QTest::newRow("background 16384 x 16384") << "back.png" << QSize(16384, 16384) << false;
    // ClockLeft=center, ClockTop=30: the screen shows the face's top middle.
    QTest::newRow("face 5500 x 5500") << "face.png" << QSize(5500, 5500) << false;
    QTest::newRow("face 700 x 500 interlaced") << "face.png" << QSize(700, 500) << true;
    // Centred on a 150 px face at y = 30: the cap covers the whole screen.
    QTest::newRow("cap 1000 x 2000") << "cap.png" << QSize(1000, 2000) << false;
}

void tst_ImageDecoding::hugeImagesShowTheirVisiblePart()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(bool, interlaced);

    FixedClock clock("2026-03-07 09:41:27");
    LockWindowFixture window(clock.clock());
    window.folder.writeClassic();
    const QString path = window.folder.path() + QStringLiteral("/skin/classic/") + file;
    QVERIFY(QFile::remove(path));
    QVERIFY(LargePng::write(path, size.width(), size.height(), interlaced));

    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scope(sink);
    quelView& view = window.open();
    QuelViewAccess access(view);
    QVERIFY2(!sink.warnings.contains("left out"), sink.warnings.constData());
    QCOMPARE(access.background().size(), QSize(240, 320));

    // Where the image's top-left corner falls on the screen.
    QPoint corner(0, 0);
    const QSize face = file == QLatin1String("face.png") ? size : QSize(150, 150);
    if (file != QLatin1String("back.png")) {
        QCOMPARE(access.faceSize(), face);
        corner = access.clockCorner();
        QCOMPARE(corner, QPoint((240 - face.width()) / 2, 30));
        QCOMPARE(access.clockCentre(), corner + QPoint(face.width() / 2, face.height() / 2));
    }
    if (file == QLatin1String("cap.png"))
        corner += QPoint((face.width() - size.width()) / 2, (face.height() - size.height()) / 2);

    // Points beside the classic face, below its top, above the texts: no hand,
    // text or smaller image reaches them.
    const QImage frame = view.previewFrame(false);
    for (const QPoint at : { QPoint(1, 31), QPoint(238, 33), QPoint(5, 300) }) {
        const QPoint inImage = at - corner;
        QCOMPARE(QColor(frame.pixel(at)), QColor(LargePng::pixel(inImage.x(), inImage.y())));
    }
}

void tst_ImageDecoding::imageBeyondTheLargestSideIsSaidOnce()
{
    AppFolder folder;
    folder.writeClassic();
    const QString path = folder.path() + QStringLiteral("/skin/classic/back.png");
    QVERIFY(QFile::remove(path));
    QVERIFY(LargePng::write(path, ImageProbe::MaxSide + 1, 8));

    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scope(sink);
    const SkinImages images = loadSkin(folder.path() + QLatin1Char('/'), QString(), QSize(240, 320)).images;
    QVERIFY(images.background.isNull());
    QVERIFY(!images.face.isNull());
    QCOMPARE(sink.warnings, "warning: " + QFile::encodeName(path)
                                    + " is 16385 x 8 pixels, beyond 16384 x 16384 pixels; it is left out\n");
}

void tst_ImageDecoding::textSizesBeyondTheLargestDrawAtIt_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("just beyond") << 201;
    QTest::newRow("glyphs vanish here") << 40000;
    QTest::newRow("boxes here") << 2147483647;
}

void tst_ImageDecoding::textSizesBeyondTheLargestDrawAtIt()
{
    QFETCH(int, size);

    // The time drawn by the window's own layer onto a black screen.
    auto drawnTime = [](int dcSize) {
        FixedClock clock("2026-03-07 09:41:27");
        LockWindowFixture window(clock.clock());
        window.folder.writeClassic();
        window.folder.writeSkin(QStringLiteral("classic"),
                                AppFolder::classicSkin().replace("DCSize=20", "DCSize=" + QByteArray::number(dcSize)));
        quelView& view = window.open();
        QuelViewAccess access(view);
        QImage screen(240, 320, QImage::Format_RGB32);
        screen.fill(Qt::black);  // the classic time is white
        QPainter painter(&screen);
        access.drawDigital(painter);
        painter.end();
        return screen;
    };
    const QImage largest = drawnTime(200);
    QImage blank(240, 320, QImage::Format_RGB32);
    blank.fill(Qt::black);
    QVERIFY(largest != blank);
    QCOMPARE(drawnTime(size), largest);
}

QTEST_MAIN(tst_ImageDecoding)
#include "tst_imagedecoding.moc"
