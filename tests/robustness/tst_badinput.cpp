// Bad input the lock screen must survive: images that cannot be read, files
// that are not files, settings files of 100 MB, binary garbage, a 1 MB hint,
// invalid UTF-8, odd skin names and time-outs. For each, the window must be
// constructed without a crash or a hang and within memory bounds, and then
// keep working: "LCDOff" raises and paints, the middle key then the star key
// hide it. Each row logs its figures ("figures:" lines).
#include "common/appfolder.h"
#include "common/stdoutcapture.h"
#include "lockdriver.h"

#include "app/quelview.h"
#include "common/quelviewaccess.h"
#include "skin/clockplacement.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

#include <condition_variable>
#include <functional>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr qint64 HundredMB = 100 * 1000 * 1000;

// Bounds of the checks below, for the normal build.
constexpr int ConstructBoundMs = 3000;
constexpr int FrameBoundMs = 200;
constexpr int RaiseBoundMs = 3000;              // "LCDOff" sent until the first frame is complete
constexpr qint64 PeakBoundKb = 48 * 1024;        // transient, during construction and the cycle
constexpr qint64 RetainedBoundKb = 8 * 1024;     // left behind once the window is gone
constexpr int HangAfterMs = 10000;
// A 1 MB hint is shaped at the first frame that shows it (the armed one in
// the timed armed frame): slow, but never seconds.
constexpr int HugeHintFrameBoundMs = 1500;
constexpr qint64 HugeHintPeakBoundKb = 96 * 1024;

// A reader blocked in open() on a FIFO gets end of file once a writer has
// come and gone; this turns such a hang into a reported failure.
void releaseFifos(const QString& root)
{
    QDirIterator it(root, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info;
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode)) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    }
}

// Watches the main thread for HangAfterMs; past that it releases the FIFOs
// under root and records that it had to.
class HangGuard
{
public:
    explicit HangGuard(const QString& root)
        : m_thread([this, root] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, std::chrono::milliseconds(HangAfterMs), [this] { return m_finished; })) {
                m_fired = true;
                // Keep releasing until the main thread is through.
                while (!m_done.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_finished; }))
                    releaseFifos(root);
            }
        })
    {
    }
    ~HangGuard() { finish(); }
    // True when the guarded work had to be rescued.
    bool finish()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        return m_fired;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    bool m_fired = false;
    std::thread m_thread;
};

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray be32(quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray le32(quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray le16(quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 2);
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data)
{
    return be32(quint32(data.size())) + type + data + be32(crc32(type + data));
}

// A PNG whose header claims width x height; the pixel data is a token.
QByteArray pngHeader(quint32 width, quint32 height, char bitDepth, char colourType)
{
    const QByteArray ihdr = be32(width) + be32(height) + bitDepth + colourType + QByteArray(3, '\0');
    // A valid zlib stream of two zero bytes: one row's filter byte and a pixel.
    const QByteArray idat = QByteArray::fromHex("789c636000000002 0001");
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", idat)
            + pngChunk("IEND", {});
}

// A Windows bitmap header (with a two-colour palette for 1 bit) that claims
// width x height, without the pixels.
QByteArray bmpHeader(quint32 width, quint32 height, quint16 bits)
{
    const quint32 paletteSize = bits == 1 ? 8 : 0;
    const quint32 offset = 14 + 40 + paletteSize;
    const quint32 stride = ((width * bits + 31) / 32) * 4;
    QByteArray header = "BM" + le32(offset + stride * height) + le32(0) + le32(offset);
    header += le32(40) + le32(width) + le32(height) + le16(1) + le16(bits) + le32(0) + le32(stride * height)
            + le32(2835) + le32(2835) + le32(bits == 1 ? 2 : 0) + le32(0);
    if (bits == 1)
        header += le32(0) + le32(0xffffff);
    return header;
}

// A noisy image, so that compressed data is long and a cut lands in it.
QImage noise(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = random.generate() | 0xff000000u;
    }
    return image;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A real JPEG whose frame header is rewritten to claim width x height.
QByteArray jpegClaiming(quint16 width, quint16 height)
{
    QByteArray jpeg = encoded(noise(QSize(16, 16)), "JPEG");
    const qsizetype sof = jpeg.indexOf("\xff\xc0");
    if (sof < 0)
        return {};
    // Marker, length (2), precision (1), then height and width, big-endian.
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xff);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xff);
    return jpeg;
}

QByteArray gifClaiming(quint16 width, quint16 height)
{
    // Header, logical screen with a two-colour table, one image of the full
    // size with a minimal LZW stream, trailer.
    return QByteArray("GIF89a") + le16(width) + le16(height) + QByteArray("\x80\x00\x00", 3)
            + QByteArray("\x00\x00\x00\xff\xff\xff", 6) + ',' + le16(0) + le16(0) + le16(width) + le16(height)
            + '\0' + QByteArray("\x02\x02\x44\x01\x00;", 6);
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

QByteArray classicConfig()
{
    return "[General]\nSkin=classic\nTimeOut=600\n";
}

// The classic example under the given settings, by default ones that select
// it with a short time-out.
struct ClassicFolder : AppFolder
{
    explicit ClassicFolder(const QByteArray& config = classicConfig())
    {
        writeClassic();
        writeConfig(config);
    }
};

QSize classicSize(const QString& image)
{
    if (image.endsWith(QLatin1String("back.png")))
        return QSize(240, 320);
    if (image.endsWith(QLatin1String("face.png")))
        return QSize(150, 150);
    return QSize(21, 21);
}

const QPixmap& pixmapOf(QuelViewAccess& access, const QString& image)
{
    if (image.endsWith(QLatin1String("back.png")))
        return access.background();
    if (image.endsWith(QLatin1String("face.png")))
        return access.face();
    return access.cap();
}

// A file of `size` bytes: `head`, then either a hole (sparse, read back as
// NUL bytes) or `head` over and over.
bool writeLargeFile(const QString& path, const QByteArray& head, qint64 size, bool repeat)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (!repeat)
        return file.write(head) == head.size() && file.resize(size);
    QByteArray block;
    while (block.size() < MiB)
        block += head;
    qint64 written = 0;
    while (written < size) {
        const qint64 n = file.write(block.constData(), qMin<qint64>(block.size(), size - written));
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

struct Bounds
{
    qint64 peakKb = PeakBoundKb;
    qint64 retainedKb = RetainedBoundKb;
    double frameMs = FrameBoundMs;
};

enum class Special { Folder, Fifo, DevZero, DevUrandom, SymlinkLoop, Dangling, RegularFile };

// What lies in the skin folder beside the image a row names.
enum class Beside { Image, Fifo, LinkToImage, SparseImageFile };

// A skin text with one line replaced (the classic skin by default).
QByteArray classicSkinWith(const QByteArray& line, const QByteArray& replacement,
                           QByteArray skin = AppFolder::classicSkin())
{
    const qsizetype at = skin.indexOf(line);
    return at < 0 ? skin : skin.replace(at, line.size(), replacement);
}

} // namespace

Q_DECLARE_METATYPE(Special)
Q_DECLARE_METATYPE(Beside)

class tst_BadInput : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void unreadableImages_data();
    void unreadableImages();
    void oversizedImageHeaders_data();
    void oversizedImageHeaders();
    void notAFile_data();
    void notAFile();
    void hugeSettingsFiles_data();
    void hugeSettingsFiles();
    void binaryGarbage_data();
    void binaryGarbage();
    void hugeHint_data();
    void hugeHint();
    void invalidUtf8_data();
    void invalidUtf8();
    void skinSelection_data();
    void skinSelection();
    void timeOutValues_data();
    void timeOutValues();
    void exactImageNames_data();
    void exactImageNames();
    void backgroundLargerThanTheScreen();
    void extremeIntegers_data();
    void extremeIntegers();

private:
    // Constructs the window for `folder`, checks its start-up lines and that
    // it did not hang, lets `check` look at its state, drives a lock cycle,
    // and checks time and memory against `bounds`.
    void survive(AppFolder& folder, const std::function<void(QuelViewAccess&)>& check, Bounds bounds = Bounds());
};

void tst_BadInput::initTestCase()
{
    // Fonts, the bus connection and the toolkit's caches are set up once per
    // process; a first window takes them out of every row's figures.
    AppFolder folder;
    folder.writeClassic();
    Bounds firstTime;
    firstTime.peakKb = firstTime.retainedKb = std::numeric_limits<qint64>::max();
    survive(folder, [](QuelViewAccess&) {}, firstTime);
}

void tst_BadInput::survive(AppFolder& folder, const std::function<void(QuelViewAccess&)>& check, Bounds bounds)
{
    const int slow = slowdownFactor();
    releaseFreeHeap();
    const qint64 residentBefore = statusKb("VmRSS");
    const bool peakResets = resetPeakResident();
    CycleFigures cycle;
    qint64 constructMs = 0;
    {
        auto out = std::make_unique<StdoutCapture>();
        const WallClock systemClock;
        std::unique_ptr<quelView> view;
        QElapsedTimer timer;
        timer.start();
        bool hung = false;
        {
            HangGuard guard(folder.path());
            view = std::make_unique<quelView>(folder.programPath(), systemClock);
            hung = guard.finish();
        }
        constructMs = timer.elapsed();
        QVERIFY2(!hung, "the window's construction hung (a FIFO had to be released)");
        const QByteArray startup = out->take();
        const QByteArray expected = "\npath=" + QFile::encodeName(folder.path()) + "/\n\nconfig!\npix!\n\npix over!\n";
        QCOMPARE(startup, expected);

        QuelViewAccess access(*view);
        check(access);
        if (QTest::currentTestFailed())
            return;

        verifyLockCycle(*view, *out, &cycle);
        if (QTest::currentTestFailed())
            return;
    }
    const qint64 peakKb = statusKb("VmHWM") - residentBefore;
    // Freed heap the allocator keeps would look like a leak.
    releaseFreeHeap();
    const qint64 retainedKb = statusKb("VmRSS") - residentBefore;
    qInfo("figures: %s: construction %lld ms, raise %.1f ms, frame %.2f ms, armed frame %.2f ms, "
          "peak +%lld kB, retained %+lld kB",
          QTest::currentDataTag() ? QTest::currentDataTag() : "warm-up", constructMs, cycle.raiseMs, cycle.frameMs,
          cycle.armedFrameMs, peakKb, retainedKb);

    QVERIFY2(constructMs < ConstructBoundMs * slow, "the window took too long to construct");
    QVERIFY2(cycle.raiseMs < RaiseBoundMs * slow, "the first frame came too late");
    QVERIFY2(cycle.frameMs < bounds.frameMs * slow, "a frame took too long");
    QVERIFY2(cycle.armedFrameMs < bounds.frameMs * slow, "the armed frame took too long");
    if (memoryBoundsApply()) {
        if (peakResets)
            QVERIFY2(peakKb < bounds.peakKb, "the peak resident memory grew beyond its bound");
        QVERIFY2(retainedKb < bounds.retainedKb, "resident memory stayed grown after the window was gone");
    }
}

void tst_BadInput::unreadableImages_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<QByteArray>("contents");
    // Cut or damaged data may still decode partly, at the full size.
    QTest::addColumn<bool>("mayDecodePartly");

    for (const QString& image : { QStringLiteral("back.png"), QStringLiteral("face.png"), QStringLiteral("cap.png") }) {
        const QImage picture = noise(classicSize(image));
        const QByteArray png = encoded(picture, "PNG");
        const QByteArray jpeg = encoded(picture, "JPEG");
        const QByteArray bmp = encoded(picture, "BMP");
        QByteArray flipped = png;
        for (qsizetype i = png.size() / 3; i < png.size() / 3 + 64; ++i)
            flipped[i] = char(~flipped[i]);
        const QByteArray ownCode = [] {
            QFile self(QCoreApplication::applicationFilePath());
            return self.open(QIODevice::ReadOnly) ? self.read(64 * 1024) : QByteArray("\x7f" "ELF");
        }();
        const auto row = [&](const char* what) -> QTestData& {
            return QTest::addRow("%s: %s", qPrintable(image), what) << image;
        };
        row("zero bytes") << QByteArray() << false;
        row("png signature only") << png.left(8) << false;
        row("png cut in the header") << png.left(30) << false;
        row("png cut in the data") << png.left(png.size() / 2) << true;
        row("png with damaged data") << flipped << true;
        row("jpeg cut in the data") << jpeg.left(jpeg.size() / 2) << true;
        row("jpeg markers only") << QByteArray("\xff\xd8\xff\xd9", 4) << false;
        row("bmp cut in the data") << bmp.left(bmp.size() / 2) << true;
        row("gif signature only") << QByteArray("GIF89a") << false;
        row("text") << QByteArray("This is not an image.\n") << false;
        row("settings text") << AppFolder::classicSkin() << false;
        row("random bytes") << randomBytes(64 * 1024, 7) << false;
        row("an executable") << ownCode << false;
    }
}

void tst_BadInput::unreadableImages()
{
    QFETCH(QString, image);
    QFETCH(QByteArray, contents);
    QFETCH(bool, mayDecodePartly);

    ClassicFolder folder;
    folder.writeFile(QStringLiteral("skin/classic/") + image, contents);
    survive(folder, [&](QuelViewAccess& access) {
        const QPixmap& pixmap = pixmapOf(access, image);
        if (mayDecodePartly)
            QVERIFY2(pixmap.isNull() || pixmap.size() == classicSize(image), "a partial image of another size");
        else
            QVERIFY(pixmap.isNull());
        // The other two images are untouched.
        for (const QString& other : { QStringLiteral("back.png"), QStringLiteral("face.png"), QStringLiteral("cap.png") }) {
            if (other != image)
                QCOMPARE(pixmapOf(access, other).size(), classicSize(other));
        }
        // The face placement follows the face as loaded (an empty face: 0 x 0).
        QCOMPARE(access.clockCentre(), access.clockCorner() + QPoint(access.faceSize().width() / 2, access.faceSize().height() / 2));
    });
}

void tst_BadInput::oversizedImageHeaders_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<QByteArray>("contents");

    const QByteArray xpm = "/* XPM */\nstatic char *x[] = {\n\"30000 30000 1 1\",\n\"a c #000000\",\n\"aaaa\"\n};\n";
    for (const QString& image : { QStringLiteral("back.png"), QStringLiteral("face.png") }) {
        const auto row = [&](const char* what) -> QTestData& {
            return QTest::addRow("%s: %s", qPrintable(image), what) << image;
        };
        row("png 30000 x 30000 RGBA") << pngHeader(30000, 30000, 8, 6);
        row("png 30000 x 30000 1-bit grey") << pngHeader(30000, 30000, 1, 0);
        row("png 2^31-1 square") << pngHeader(0x7fffffff, 0x7fffffff, 8, 6);
        row("bmp 30000 x 30000 24-bit") << bmpHeader(30000, 30000, 24);
        row("bmp 30000 x 30000 1-bit") << bmpHeader(30000, 30000, 1);
        row("pbm 30000 x 30000") << QByteArray("P4\n30000 30000\n");
        row("ppm 30000 x 30000") << QByteArray("P6\n30000 30000\n255\n");
        row("xpm 30000 x 30000") << xpm;
        row("gif 30000 x 30000") << gifClaiming(30000, 30000);
        row("jpeg 30000 x 30000") << jpegClaiming(30000, 30000);
    }
}

void tst_BadInput::oversizedImageHeaders()
{
    QFETCH(QString, image);
    QFETCH(QByteArray, contents);

    ClassicFolder folder;
    folder.writeFile(QStringLiteral("skin/classic/") + image, contents);
    // Nothing of the claimed size may be allocated: the usual bounds hold.
    survive(folder, [&](QuelViewAccess& access) {
        // Anything decoded from a few bytes fits in what they claim; usually
        // nothing is.
        const QPixmap& pixmap = pixmapOf(access, image);
        QVERIFY2(pixmap.isNull() || qint64(pixmap.width()) * pixmap.height() <= 30000LL * 30000,
                 "an image larger than its header");
    });
}

void tst_BadInput::notAFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<Special>("special");
    QTest::addColumn<int>("timeOut");
    QTest::addColumn<bool>("skinRead");

    const struct { const char* name; Special special; } specials[] = {
        { "a folder", Special::Folder },
        { "a FIFO", Special::Fifo },
        { "a link to /dev/zero", Special::DevZero },
        { "a link to /dev/urandom", Special::DevUrandom },
        { "a link to itself", Special::SymlinkLoop },
        { "a dangling link", Special::Dangling },
    };
    for (const auto& special : specials) {
        QTest::addRow("config.cfg is %s", special.name) << "config.cfg" << special.special << -1 << false;
        QTest::addRow("skin.cfg is %s", special.name) << "skin/classic/skin.cfg" << special.special << 600 << false;
        QTest::addRow("back.png is %s", special.name) << "skin/classic/back.png" << special.special << 600 << true;
        QTest::addRow("face.png is %s", special.name) << "skin/classic/face.png" << special.special << 600 << true;
    }
    QTest::addRow("the skin folder is a file") << "skin/classic" << Special::RegularFile << 600 << false;
    QTest::addRow("the skin folder is a FIFO") << "skin/classic" << Special::Fifo << 600 << false;
    QTest::addRow("the skin folders' folder is a file") << "skin" << Special::RegularFile << 600 << false;
}

void tst_BadInput::notAFile()
{
    QFETCH(QString, path);
    QFETCH(Special, special);
    QFETCH(int, timeOut);
    QFETCH(bool, skinRead);

    ClassicFolder folder;
    const QString full = folder.path() + QLatin1Char('/') + path;
    QVERIFY(QFileInfo(full).isDir() ? QDir(full).removeRecursively() : QFile::remove(full));
    const QByteArray name = QFile::encodeName(full);
    switch (special) {
    case Special::Folder:
        QVERIFY(QDir().mkpath(full + QLatin1String("/inside")));
        break;
    case Special::Fifo:
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        break;
    case Special::DevZero:
        QCOMPARE(::symlink("/dev/zero", name.constData()), 0);
        break;
    case Special::DevUrandom:
        QCOMPARE(::symlink("/dev/urandom", name.constData()), 0);
        break;
    case Special::SymlinkLoop:
        QCOMPARE(::symlink(name.constData(), name.constData()), 0);
        break;
    case Special::Dangling:
        QCOMPARE(::symlink("nothing-here", name.constData()), 0);
        break;
    case Special::RegularFile:
        folder.writeFile(path, AppFolder::classicSkin());
        break;
    }

    survive(folder, [&](QuelViewAccess& access) {
        QCOMPARE(access.settings().timeOut, timeOut);
        QCOMPARE(!access.settings().background.isNull(), skinRead);
        if (path.endsWith(QLatin1String(".png")))
            QVERIFY(pixmapOf(access, path).isNull());
        else
            QCOMPARE(!access.background().isNull(), skinRead);
    });
}

void tst_BadInput::hugeSettingsFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<int>("timeOut");
    QTest::addColumn<bool>("skinRead");
    QTest::addColumn<qint64>("peakBoundKb");

    const QString config = QStringLiteral("config.cfg");
    const QString skin = QStringLiteral("skin/classic/skin.cfg");
    // One record per line of the first MiB: a MiB of line ends is a million
    // records, built and dropped during construction.
    const qint64 manyLinesKb = 256 * 1024;
    QTest::newRow("config: 100 MB of NUL bytes (sparse)") << config << QByteArray() << false << -1 << false << PeakBoundKb;
    QTest::newRow("config: settings, then a 100 MB hole") << config << classicConfig() << false << 600 << true << PeakBoundKb;
    QTest::newRow("config: 100 MB of settings lines") << config << classicConfig() << true << 600 << true << manyLinesKb;
    QTest::newRow("config: 100 MB of line ends") << config << QByteArray("\n") << true << -1 << false << manyLinesKb;
    QTest::newRow("config: 100 MB of CRLF") << config << QByteArray("\r\n") << true << -1 << false << manyLinesKb;
    QTest::newRow("config: 100 MB of short entries") << config << QByteArray("a=b\n") << true << -1 << false << manyLinesKb;
    QTest::newRow("config: 100 MB of group lines") << config << QByteArray("[General]\n") << true << -1 << false << manyLinesKb;
    QTest::newRow("config: one 100 MB value") << config << QByteArray("[General]\nTimeOut=600\nSkin=") << false << 600 << false << PeakBoundKb;
    QTest::newRow("skin: the classic skin, then a 100 MB hole") << skin << AppFolder::classicSkin() << false << 600 << true << PeakBoundKb;
    QTest::newRow("skin: 100 MB of line ends") << skin << QByteArray("\n") << true << 600 << false << manyLinesKb;
    QTest::newRow("skin: 100 MB of 'x' (one line)") << skin << QByteArray("x") << true << 600 << false << PeakBoundKb;
}

void tst_BadInput::hugeSettingsFiles()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, head);
    QFETCH(bool, repeat);
    QFETCH(int, timeOut);
    QFETCH(bool, skinRead);
    QFETCH(qint64, peakBoundKb);

    ClassicFolder folder;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(writeLargeFile(folder.path() + QLatin1Char('/') + file, head, HundredMB, repeat));
    qInfo("figures: %s: the 100 MB file written in %lld ms", QTest::currentDataTag(), timer.elapsed());

    Bounds bounds;
    bounds.peakKb = peakBoundKb;
    survive(folder, [&](QuelViewAccess& access) {
        QCOMPARE(access.settings().timeOut, timeOut);
        QCOMPARE(!access.background().isNull(), skinRead);
        QCOMPARE(access.settings().notifyWord0.isNull(), !skinRead);
    }, bounds);
    // The folder and its 100 MB file go with `folder`.
}

void tst_BadInput::binaryGarbage_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("skin");
    QTest::addColumn<int>("timeOut");
    QTest::addColumn<bool>("skinRead");

    const QByteArray skin = AppFolder::classicSkin();
    const QByteArray garbage = randomBytes(64 * 1024, 1);
    QByteArray highBytes(64 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < highBytes.size(); ++i)
        highBytes[i] = char(0x80 + i % 0x80);
    const QByteArray ownCode = [] {
        QFile self(QCoreApplication::applicationFilePath());
        return self.open(QIODevice::ReadOnly) ? self.read(MiB) : QByteArray();
    }();
    QVERIFY(!ownCode.isEmpty());

    QTest::newRow("config: random bytes") << garbage << skin << -1 << false;
    QTest::newRow("config: NUL bytes") << QByteArray(64 * 1024, '\0') << skin << -1 << false;
    QTest::newRow("config: bytes 0x80-0xFF") << highBytes << skin << -1 << false;
    QTest::newRow("config: an executable") << ownCode << skin << -1 << false;
    // Garbage ends at a line end; the lines after it are read as usual.
    QTest::newRow("config: random bytes, then settings") << garbage + "\n" + classicConfig() << skin << 600 << true;
    QTest::newRow("config: settings, then random bytes") << classicConfig() + garbage << skin << 600 << true;
    QTest::newRow("skin: random bytes") << classicConfig() << garbage << 600 << false;
    QTest::newRow("skin: NUL bytes") << classicConfig() << QByteArray(64 * 1024, '\0') << 600 << false;
    QTest::newRow("skin: bytes 0x80-0xFF") << classicConfig() << highBytes << 600 << false;
    QTest::newRow("skin: an image") << classicConfig() << encoded(noise(QSize(64, 64)), "PNG") << 600 << false;
    QTest::newRow("skin: random bytes, then the skin") << classicConfig() << garbage + "\n" + skin << 600 << true;
    QTest::newRow("both: random bytes") << randomBytes(64 * 1024, 2) << randomBytes(64 * 1024, 3) << -1 << false;
}

void tst_BadInput::binaryGarbage()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, skin);
    QFETCH(int, timeOut);
    QFETCH(bool, skinRead);

    ClassicFolder folder(config);
    folder.writeSkin(QStringLiteral("classic"), skin);
    survive(folder, [&](QuelViewAccess& access) {
        QCOMPARE(access.settings().timeOut, timeOut);
        QCOMPARE(!access.background().isNull(), skinRead);
        if (skinRead)
            QCOMPARE(access.settings().notifyWord1, QStringLiteral("Now press the star key"));
    });
}

void tst_BadInput::hugeHint_data()
{
    QTest::addColumn<QByteArray>("word0");
    QTest::addColumn<QByteArray>("word1");
    QTest::addColumn<int>("length0");
    QTest::addColumn<int>("length1");

    const int size = 1000 * 1000;
    const auto repeated = [size](const QByteArray& piece) {
        QByteArray text;
        text.reserve(size);
        while (text.size() + piece.size() <= size)
            text += piece;
        return text;
    };
    const QByteArray letters = repeated("W");
    const QByteArray words = repeated("unlock me ");
    const QByteArray chinese = repeated("锁屏");        // 3 bytes a character
    const QByteArray marks = repeated("a\xcc\x81\xcc\x82");  // a letter with two combining accents
    const QByteArray hebrew = repeated("\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d ");
    QTest::newRow("1 MB of one letter") << letters << QByteArray("armed") << size << 5;
    // The trailing blank of the last word is trimmed.
    QTest::newRow("1 MB of words") << words << QByteArray("armed") << size - 1 << 5;
    // Characters: whole pieces that fit in 1 MB, times the piece's characters.
    QTest::newRow("1 MB of Chinese") << chinese << QByteArray("armed") << size / 6 * 2 << 5;
    QTest::newRow("1 MB of combining accents") << marks << QByteArray("armed") << size / 5 * 3 << 5;
    QTest::newRow("1 MB of right-to-left text") << hebrew << QByteArray("armed") << size / 9 * 5 - 1 << 5;
    QTest::newRow("1 MB as the armed hint") << QByteArray("idle") << letters << 4 << size;
    // A line cut by the 1 MiB read limit is ignored: no hint at all.
    QTest::newRow("a hint past the read limit") << QByteArray(MiB, 'W') << QByteArray("armed") << -1 << 5;
}

void tst_BadInput::hugeHint()
{
    QFETCH(QByteArray, word0);
    QFETCH(QByteArray, word1);
    QFETCH(int, length0);
    QFETCH(int, length1);

    ClassicFolder folder;
    QByteArray skin = AppFolder::classicSkin();
    skin.replace("NotifyWord0=Press the centre key to unlock\n", {});
    skin.replace("NotifyWord1=Now press the star key\n", {});
    folder.writeSkin(QStringLiteral("classic"), skin + "NotifyWord1=" + word1 + "\nNotifyWord0=" + word0 + "\n");
    Bounds bounds;
    bounds.frameMs = HugeHintFrameBoundMs;
    bounds.peakKb = HugeHintPeakBoundKb;
    survive(folder, [&](QuelViewAccess& access) {
        QCOMPARE(access.settings().notifyWord0.isNull() ? -1 : int(access.settings().notifyWord0.size()), length0);
        QCOMPARE(access.settings().notifyWord1.isNull() ? -1 : int(access.settings().notifyWord1.size()), length1);
    }, bounds);
}

void tst_BadInput::invalidUtf8_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("skinExtra");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<bool>("skinRead");

    const QByteArray config = classicConfig();
    const QString fffd(QChar(0xfffd));
    const auto hint = [](const char* bytes) { return "[Notify]\nNotifyWord0=" + QByteArray(bytes) + "\n"; };
    const QString classicHint = QStringLiteral("Press the centre key to unlock");
    QTest::newRow("stray continuation bytes") << config << hint("a\x80" "b\xbf" "c")
                                              << "a" + fffd + "b" + fffd + "c" << true;
    QTest::newRow("overlong slash") << config << hint("\xc0\xaf") << fffd + fffd << true;
    QTest::newRow("encoded surrogate") << config << hint("\xed\xa0\x80") << fffd + fffd + fffd << true;
    QTest::newRow("beyond U+10FFFF") << config << hint("\xf4\x90\x80\x80") << fffd.repeated(4) << true;
    QTest::newRow("cut sequence at the line end") << config << hint("x\xe4\xb8") << "x" + fffd + fffd << true;
    QTest::newRow("Latin-1 text") << config << hint("Gr\xfc\xdf Gott") << "Gr" + fffd + fffd + " Gott" << true;
    QTest::newRow("bytes FE FF") << config << hint("\xfe\xff") << fffd + fffd << true;
    QTest::newRow("NUL inside the hint") << config << QByteArray("[Notify]\nNotifyWord0=a\0b\n", 25)
                                         << QString::fromUtf8("a\0b", 3) << true;
    // A bad byte in a name makes another name: not the one looked up.
    QTest::newRow("in a group name") << config << QByteArray("[Not\xffify]\nNotifyWord0=x\n") << classicHint << true;
    QTest::newRow("in a key name") << config << QByteArray("[Notify]\nNotify\xffWord0=x\n") << classicHint << true;
    QTest::newRow("in the skin name") << QByteArray("[General]\nSkin=clas\xffsic\nTimeOut=600\n") << QByteArray()
                                      << QString() << false;
    QTest::newRow("in the time-out") << QByteArray("[General]\nSkin=classic\nTimeOut=6\xff" "00\n") << QByteArray()
                                     << classicHint << true;
    QTest::newRow("in an image name") << config << QByteArray("[General]\nBACKGROUND=back\xff.png\n") << classicHint
                                      << false;
}

void tst_BadInput::invalidUtf8()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, skinExtra);
    QFETCH(QString, hint);
    QFETCH(bool, skinRead);

    ClassicFolder folder(config);
    folder.writeSkin(QStringLiteral("classic"), AppFolder::classicSkin() + skinExtra);
    survive(folder, [&](QuelViewAccess& access) {
        QCOMPARE(access.settings().notifyWord0, hint);
        QCOMPARE(!access.background().isNull(), skinRead);
    });
}

void tst_BadInput::skinSelection_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("skinDir"); // after the program folder
    QTest::addColumn<bool>("skinRead");

    QTest::newRow("Skin=../../..") << QByteArray("[General]\nSkin=../../..\n") << "skin/../../../" << false;
    QTest::newRow("Skin far above the root") << QByteArray("[General]\nSkin=") + QByteArray("../").repeated(40) + "\n"
                                            << "skin/" + QString::fromLatin1("../").repeated(40) + "/" << false;
    QTest::newRow("Skin=/") << QByteArray("[General]\nSkin=/\n") << "skin///" << false;
    QTest::newRow("Skin=/etc") << QByteArray("[General]\nSkin=/etc\n") << "skin//etc/" << false;
    QTest::newRow("Skin=/dev") << QByteArray("[General]\nSkin=/dev\n") << "skin//dev/" << false;
    QTest::newRow("Skin=/proc/self") << QByteArray("[General]\nSkin=/proc/self\n") << "skin//proc/self/" << false;
    QTest::newRow("empty Skin") << QByteArray("[General]\nSkin=\n") << "skin//" << false;
    QTest::newRow("no Skin key") << QByteArray("[General]\nTimeOut=600\n") << "skin//" << false;
    QTest::newRow("missing skin folder") << QByteArray("[General]\nSkin=nosuchskin\n") << "skin/nosuchskin/" << false;
    QTest::newRow("name longer than a path") << QByteArray("[General]\nSkin=") + QByteArray(5000, 'n') + "\n"
                                             << "skin/" + QString(5000, QLatin1Char('n')) + "/" << false;
    QTest::newRow("a NUL in the name") << QByteArray("[General]\nSkin=classic\0x\n", 25)
                                       << QString::fromLatin1("skin/classic\0x/", 15) << false;
    QTest::newRow("Skin=classic/../classic") << QByteArray("[General]\nSkin=classic/../classic\n")
                                             << "skin/classic/../classic/" << true;
    QTest::newRow("Skin=classic/") << QByteArray("[General]\nSkin=classic/\n") << "skin/classic//" << true;
}

void tst_BadInput::skinSelection()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, skinDir);
    QFETCH(bool, skinRead);

    ClassicFolder folder(config);
    survive(folder, [&](QuelViewAccess& access) {
        QCOMPARE(access.skinDir(), folder.path() + QLatin1Char('/') + skinDir);
        QCOMPARE(!access.background().isNull(), skinRead);
        QCOMPARE(!access.settings().notifyWord0.isNull(), skinRead);
    });
}

void tst_BadInput::timeOutValues_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("timeOut");

    QTest::newRow("abc") << QByteArray("abc") << -1;
    QTest::newRow("99999999999") << QByteArray("99999999999") << -1;
    QTest::newRow("-99999999999") << QByteArray("-99999999999") << -1;
    QTest::newRow("2147483647") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("2147483648") << QByteArray("2147483648") << -1;
    QTest::newRow("-2147483648") << QByteArray("-2147483648") << int(-2147483647 - 1);
    QTest::newRow("-2147483649") << QByteArray("-2147483649") << -1;
    QTest::newRow("200 digits") << QByteArray(200, '9') << -1;
    QTest::newRow("0x10") << QByteArray("0x10") << -1;
    QTest::newRow("1.5") << QByteArray("1.5") << -1;
    QTest::newRow("1e3") << QByteArray("1e3") << -1;
    QTest::newRow("empty") << QByteArray("") << -1;
    QTest::newRow("blanks around") << QByteArray("   600\t") << 600;
    QTest::newRow("+600") << QByteArray("+600") << 600;
    QTest::newRow("full-width digits") << QByteArray("\xef\xbc\x96\xef\xbc\x90\xef\xbc\x90") << -1;
    QTest::newRow("1 ms") << QByteArray("1") << 1;
}

void tst_BadInput::timeOutValues()
{
    QFETCH(QByteArray, value);
    QFETCH(int, timeOut);

    ClassicFolder folder("[General]\nSkin=classic\nTimeOut=" + value + "\n");
    survive(folder, [&](QuelViewAccess& access) { QCOMPARE(access.settings().timeOut, timeOut); });
}

void tst_BadInput::exactImageNames_data()
{
    QTest::addColumn<QByteArray>("line");      // the image line of skin.cfg
    QTest::addColumn<QString>("besideName");   // a file put in the skin folder
    QTest::addColumn<Beside>("beside");
    QTest::addColumn<bool>("loaded");

    QTest::newRow("BACKGROUND=back beside back.png") << QByteArray("BACKGROUND=back") << "back.png" << Beside::Image << false;
    QTest::newRow("BACKGROUND=back beside a FIFO back.bmp")
        << QByteArray("BACKGROUND=back") << "back.bmp" << Beside::Fifo << false;
    QTest::newRow("BACKGROUND absent, a FIFO .bmp in the skin folder")
        << QByteArray("Absent=back.png") << ".bmp" << Beside::Fifo << false;
    QTest::newRow("BACKGROUND absent, a FIFO .png in the skin folder")
        << QByteArray("Absent=back.png") << ".png" << Beside::Fifo << false;
    QTest::newRow("BACKGROUND=back.png, then a NUL byte and a path")
        << QByteArray("BACKGROUND=back.png\0../../x", 28) << "unused.png" << Beside::Image << false;
    QTest::newRow("BACKGROUND=back.png larger than 64 MiB on disk")
        << QByteArray("BACKGROUND=huge.png") << "huge.png" << Beside::SparseImageFile << false;
    // Links are followed: the name is the link's.
    QTest::newRow("BACKGROUND=linked.png, a link to an image")
        << QByteArray("BACKGROUND=linked.png") << "linked.png" << Beside::LinkToImage << true;
    QTest::newRow("BACKGROUND=back.jpg holding a PNG")
        << QByteArray("BACKGROUND=back.jpg") << "back.jpg" << Beside::Image << true;
}

void tst_BadInput::exactImageNames()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, besideName);
    QFETCH(Beside, beside);
    QFETCH(bool, loaded);

    ClassicFolder folder;
    folder.writeSkin(QStringLiteral("classic"), classicSkinWith("BACKGROUND=back.png", line));
    const QString skinDir = folder.path() + QLatin1String("/skin/classic/");
    const QByteArray besidePath = QFile::encodeName(skinDir + besideName);
    switch (beside) {
    case Beside::Image:
        folder.writeImage(QStringLiteral("skin/classic/") + besideName, QSize(240, 320));
        break;
    case Beside::Fifo:
        QCOMPARE(::mkfifo(besidePath.constData(), 0600), 0);
        break;
    case Beside::LinkToImage:
        folder.writeImage(QStringLiteral("elsewhere.png"), QSize(240, 320));
        QCOMPARE(::symlink(QFile::encodeName(folder.path() + QLatin1String("/elsewhere.png")).constData(),
                           besidePath.constData()), 0);
        break;
    case Beside::SparseImageFile:
        QVERIFY(writeLargeFile(skinDir + besideName, encoded(noise(QSize(240, 320)), "PNG"), 65 * MiB, false));
        break;
    }

    survive(folder, [&](QuelViewAccess& access) {
        QCOMPARE(!access.background().isNull(), loaded);
        if (loaded)
            QCOMPARE(access.background().size(), QSize(240, 320));
        // The face and the cap are as always.
        QCOMPARE(access.face().size(), QSize(150, 150));
        QCOMPARE(access.cap().size(), QSize(21, 21));
    });
}

void tst_BadInput::backgroundLargerThanTheScreen()
{
    // A picture of 3000 x 3000 with a marked top-left screenful: it compresses
    // to little on disk but decodes to 34 MiB.
    ClassicFolder folder;
    {
        QImage picture(3000, 3000, QImage::Format_RGB32);
        picture.fill(QColor(0x20, 0x40, 0x60));
        QPainter painter(&picture);
        painter.fillRect(0, 0, 240, 320, QColor(0xc0, 0x10, 0x10));
        painter.fillRect(239, 319, 1, 1, QColor(0x10, 0xc0, 0x10));
        painter.end();
        folder.writeFile(QStringLiteral("skin/classic/back.png"), encoded(picture, "PNG"));
    }

    Bounds bounds;
    // Decoding still holds the whole picture for a moment; it must not stay.
    bounds.peakKb = 96 * 1024;
    survive(folder, [&](QuelViewAccess& access) {
        QCOMPARE(access.background().size(), QSize(240, 320));
        const QImage kept = access.background().toImage();
        QCOMPARE(kept.pixel(0, 0), qRgb(0xc0, 0x10, 0x10));
        QCOMPARE(kept.pixel(239, 319), qRgb(0x10, 0xc0, 0x10));
    }, bounds);
}

void tst_BadInput::extremeIntegers_data()
{
    QTest::addColumn<QByteArray>("line");         // replaces the classic skin's line of the same key
    QTest::addColumn<QPoint>("clockCorner");
    QTest::addColumn<QPoint>("clockCentre");
    QTest::addColumn<bool>("minuteHandCoversScreen");

    const QByteArray max = "2147483647";
    const QByteArray min = "-2147483648";
    const int limit = DrawLimit;
    // The classic face is 150 x 150, centred across, its top at y = 30.
    QTest::newRow("ClockLeft=INT_MAX") << "ClockLeft=" + max << QPoint(limit, 30) << QPoint(limit, 105) << false;
    QTest::newRow("ClockLeft=INT_MIN") << "ClockLeft=" + min << QPoint(-limit, 30) << QPoint(-limit + 75, 105) << false;
    QTest::newRow("ClockTop=INT_MAX") << "ClockTop=" + max << QPoint(45, limit) << QPoint(120, limit) << false;
    QTest::newRow("ClockTop=INT_MIN") << "ClockTop=" + min << QPoint(45, -limit) << QPoint(120, -limit + 75) << false;
    QTest::newRow("ClockTop=-16777300") << QByteArray("ClockTop=-16777300") << QPoint(45, -limit) << QPoint(120, -limit + 75) << false;
    QTest::newRow("HourHeight=INT_MIN") << "HourHeight=" + min << QPoint(45, 30) << QPoint(120, 105) << false;
    QTest::newRow("HourHeight=INT_MAX") << "HourHeight=" + max << QPoint(45, 30) << QPoint(120, 105) << false;
    QTest::newRow("SecHeight=INT_MIN") << "SecHeight=" + min << QPoint(45, 30) << QPoint(120, 105) << false;
    QTest::newRow("HourWidth=INT_MAX") << "HourWidth=" + max << QPoint(45, 30) << QPoint(120, 105) << false;
    QTest::newRow("DCX=INT_MAX") << "DCX=" + max << QPoint(45, 30) << QPoint(120, 105) << false;
    QTest::newRow("DateY=INT_MIN") << "DateY=" + min << QPoint(45, 30) << QPoint(120, 105) << false;
    // The toolkit refuses pens of 32768 pixels or more; clamped, the minute
    // hand is as wide as the toolkit draws and covers the screen.
    QTest::newRow("MinWidth=32767") << QByteArray("MinWidth=32767") << QPoint(45, 30) << QPoint(120, 105) << true;
    QTest::newRow("MinWidth=40000") << QByteArray("MinWidth=40000") << QPoint(45, 30) << QPoint(120, 105) << true;
    QTest::newRow("MinWidth=INT_MAX") << "MinWidth=" + max << QPoint(45, 30) << QPoint(120, 105) << true;
}

void tst_BadInput::extremeIntegers()
{
    QFETCH(QByteArray, line);
    QFETCH(QPoint, clockCorner);
    QFETCH(QPoint, clockCentre);
    QFETCH(bool, minuteHandCoversScreen);

    ClassicFolder folder;
    const QByteArray key = line.left(line.indexOf('=') + 1);
    const QByteArray skin = AppFolder::classicSkin();
    const qsizetype at = skin.indexOf("\n" + key) + 1;
    QVERIFY(at > 0);
    const qsizetype end = skin.indexOf('\n', at);
    // A blue minute hand, told from the white hour hand and the background.
    folder.writeSkin(QStringLiteral("classic"),
                     classicSkinWith("MinColor=16777215", "MinColor=255",
                                     classicSkinWith(skin.mid(at, end - at), line)));

    survive(folder, [&](QuelViewAccess& access) {
        QCOMPARE(access.clockCorner(), clockCorner);
        QCOMPARE(access.clockCentre(), clockCentre);
        QImage canvas(240, 320, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        QPainter painter(&canvas);
        access.drawAnalog(painter);
        painter.end();
        // A corner the hands of the classic skin never reach.
        const bool covered = canvas.pixel(2, 318) == qRgb(0, 0, 255);
        QCOMPARE(covered, minuteHandCoversScreen);
    });
}

LOCKAPP_TEST_MAIN_LOG_TO_STDERR(tst_BadInput)
#include "tst_badinput.moc"
