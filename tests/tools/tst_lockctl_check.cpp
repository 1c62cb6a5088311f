// Tests of "lockctl check": broken skins, each with the exact diagnostics it
// must produce; the bundled skins clean; exit codes; the built binary.

#include "common/appfolder.h"
#include "lockctlrun.h"

#include "common/recordingdevice.h"
#include "checkcommand.h"
#include "command.h"

#include "app/framepreview.h"
#include "app/quelview.h"
#include "common/quelviewaccess.h"
#include "platform/diagnostics.h"
#include "platform/zconfig.h"
#include "platform/zwidget.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QRegularExpression>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Config = "[General]\nSkin=classic\nTimeOut=3000\n";
const QString SkinFile = QStringLiteral("skin/classic/skin.cfg");

using Result = CommandResult;

Result runCheck(const QStringList& args)
{
    return runInProcess(runCheckCommand, args);
}

// Replaces whole lines: each pair is (old lines, new lines), both with
// their line ends; the old text must be there.
QByteArray edited(QByteArray text, const QList<QPair<QByteArray, QByteArray>>& edits)
{
    for (const auto& edit : edits) {
        const qsizetype at = text.indexOf(edit.first);
        if (at < 0)
            qFatal("no \"%s\" to edit", edit.first.constData());
        text.replace(at, edit.first.size(), edit.second);
    }
    return text;
}

QByteArray classicWith(const QList<QPair<QByteArray, QByteArray>>& edits)
{
    return edited(AppFolder::classicSkin(), edits);
}

// A skin whose NotifyWord1 line is cut by the reader's 1 MiB limit, after a
// comment that fills the file up to it: line 38 is the comment, 39 the cut.
QByteArray skinCutAtLimit()
{
    const QByteArray last = "NotifyWord1=Now press the star key\n";
    const QByteArray head = classicWith({ { last, "" } });
    const qsizetype padding = 1024 * 1024 - head.size() - 10;  // the cut falls 10 bytes into the key line
    return head + '#' + QByteArray(padding - 2, 'x') + '\n' + last;
}

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

// The header of an RGB PNG of the given size, with no pixels: enough
// for the reader to know the size, far too large to be allocated.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    auto chunk = [](const QByteArray& type, const QByteArray& data) {
        QByteArray out(4, '\0');
        qToBigEndian<quint32>(quint32(data.size()), out.data());
        QByteArray crc(4, '\0');
        qToBigEndian<quint32>(crc32(type + data), crc.data());
        return out + type + data + crc;
    };
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = 8;  // bits per sample
    header[9] = 2;  // RGB
    const QByteArray emptyStream("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", emptyStream)
           + chunk("IEND", QByteArray());
}

// The headers of a 24-bit BMP of the given size, with no pixels: the toolkit
// reads such a file whole, so it must allocate all of it.
QByteArray bmpHeaderOnly(quint32 width, quint32 height)
{
    QByteArray bmp(54, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    qToLittleEndian<quint32>(54, bmp.data() + 10);     // where the pixels start
    qToLittleEndian<quint32>(40, bmp.data() + 14);     // the info header's size
    qToLittleEndian<quint32>(width, bmp.data() + 18);
    qToLittleEndian<quint32>(height, bmp.data() + 22);
    qToLittleEndian<quint16>(1, bmp.data() + 26);      // planes
    qToLittleEndian<quint16>(24, bmp.data() + 28);     // bits per pixel
    return bmp;
}

// The classic background as a JPEG, or its first `keep` bytes.
QByteArray jpegBackground(qsizetype keep = -1)
{
    QImage image(240, 320, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x, y * 255 / 320, (x * y) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return keep < 0 ? bytes : bytes.left(keep);
}

// Changes to the files beside the edited skin.cfg and config.cfg.
void applyFixture(AppFolder& folder, const QString& fixture)
{
    const QString skinDir = folder.path() + QStringLiteral("/skin/classic/");
    if (fixture.isEmpty())
        return;
    if (fixture == "no config") {
        QVERIFY(QFile::remove(folder.path() + QStringLiteral("/config.cfg")));
    } else if (fixture == "no skin.cfg") {
        QVERIFY(QFile::remove(skinDir + QStringLiteral("skin.cfg")));
    } else if (fixture == "no face") {
        QVERIFY(QFile::remove(skinDir + QStringLiteral("face.png")));
    } else if (fixture == "cap is text") {
        folder.writeFile(QStringLiteral("skin/classic/cap.png"), "not an image\n");
    } else if (fixture == "background is a folder") {
        QVERIFY(QFile::remove(skinDir + QStringLiteral("back.png")));
        QVERIFY(QDir().mkpath(skinDir + QStringLiteral("back.png")));
    } else if (fixture == "background is a FIFO") {
        QVERIFY(QFile::remove(skinDir + QStringLiteral("back.png")));
        QCOMPARE(::mkfifo(QFile::encodeName(skinDir + QStringLiteral("back.png")).constData(), 0600), 0);
    } else if (fixture == "background is a link loop") {
        QVERIFY(QFile::remove(skinDir + QStringLiteral("back.png")));
        const QByteArray link = QFile::encodeName(skinDir + QStringLiteral("back.png"));
        QCOMPARE(::symlink(link.constData(), link.constData()), 0);
    } else if (fixture == "background over 64 MiB") {
        // Sparse: the size alone must refuse it, before any of it is read.
        QFile back(skinDir + QStringLiteral("back.png"));
        QVERIFY(back.open(QIODevice::ReadWrite));
        QVERIFY(back.resize(64 * 1024 * 1024 + 1));
    } else if (fixture == "truncated face") {
        QFile face(skinDir + QStringLiteral("face.png"));
        QVERIFY(face.open(QIODevice::ReadWrite));
        QVERIFY(face.resize(40));
    } else if (fixture == "huge face") {
        folder.writeFile(QStringLiteral("skin/classic/face.png"), pngHeaderOnly(20000, 20000));
    } else if (fixture == "bmp face over the allocation limit") {
        folder.writeFile(QStringLiteral("skin/classic/face.png"), bmpHeaderOnly(6000, 6000));
    } else if (fixture == "jpeg background") {
        folder.writeFile(QStringLiteral("skin/classic/back.png"), jpegBackground());
    } else if (fixture == "jpeg background cut to a third") {
        folder.writeFile(QStringLiteral("skin/classic/back.png"), jpegBackground(jpegBackground().size() / 3));
    } else if (fixture == "face 300x400") {
        folder.writeImage(QStringLiteral("skin/classic/face.png"), QSize(300, 400));
    } else if (fixture == "background 200x300") {
        folder.writeImage(QStringLiteral("skin/classic/back.png"), QSize(200, 300));
    } else if (fixture == "background 480x640") {
        folder.writeImage(QStringLiteral("skin/classic/back.png"), QSize(480, 640));
    } else if (fixture == "background in a subfolder") {
        QVERIFY(QDir().mkpath(skinDir + QStringLiteral("img")));
        QVERIFY(QFile::rename(skinDir + QStringLiteral("back.png"), skinDir + QStringLiteral("img/back.png")));
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown fixture ") + fixture));
    }
}

// The classic skin's program folder with a row's files and fixture.
void writeRow(AppFolder& folder, const QByteArray& config, const QByteArray& skin, const QString& fixture)
{
    QVERIFY(folder.isValid());
    folder.writeClassic();
    folder.writeConfig(config);
    folder.writeSkin(QStringLiteral("classic"), skin);
    applyFixture(folder, fixture);
}

} // namespace

class TestLockctlCheck : public QObject
{
    Q_OBJECT

private slots:
    void brokenSkins_data();
    void brokenSkins();
    void checkAgreesWithPreview_data() { brokenSkins_data(); }
    void checkAgreesWithPreview();
    void otherSkin_data();
    void otherSkin();
    void bundledSkinsAreClean_data();
    void bundledSkinsAreClean();
    void usageErrors_data();
    void usageErrors();

    void binaryChecksItsOwnFolder();
    void binaryReportsProblems();
    void binaryUsageError();
};

void TestLockctlCheck::brokenSkins_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("skin");
    QTest::addColumn<QString>("fixture");
    // Each line as printed, without the app folder in front.
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("summary");

    const QByteArray classic = AppFolder::classicSkin();
    const QString s = SkinFile + QLatin1Char(':');
    const QString c = QStringLiteral("config.cfg:");
    auto row = [&](const char* name, const QByteArray& config, const QByteArray& skin, const QString& fixture,
                   const QStringList& expected, const char* summary) {
        QTest::newRow(name) << config << skin << fixture << expected << QString::fromLatin1(summary);
    };

    // Clean: what the lock screen reads all fits.
    row("classic copy", Config, classic, "", {}, "no problems");
    row("images below the skin folder", Config, classicWith({ { "=back.png\n", "=img/back.png\n" } }),
        "background in a subfolder", {}, "no problems");

    // Names the lock screen never reads: the real key is then missing.
    row("key names slipped", Config,
        classicWith({ { "Clockcenter=", "ClockCenter=" }, { "BACKGROUND=", "Background=" },
                      { "HourHeight=", "HourHieght=" }, { "DCColor=", "DCColour=" } }),
        "",
        { s + "1: error: BACKGROUND is missing: no frame is drawn at all",
          s + "2: warning: unknown key \"Background\" in [General]; did you mean \"BACKGROUND\"?",
          s + "3: error: Clockcenter is missing: there is no centre cap",
          s + "3: error: HourHeight is missing: the hour hand becomes a 1-pixel stub",
          s + "5: warning: unknown key \"ClockCenter\" in [Analog]; did you mean \"Clockcenter\"?",
          s + "9: warning: unknown key \"HourHieght\" in [Analog]; did you mean \"HourHeight\"?",
          s + "17: error: DCColor is missing: the digital time is drawn black",
          s + "21: warning: unknown key \"DCColour\" in [Digital]; did you mean \"DCColor\"?" },
        "4 errors, 4 warnings");
    row("group case slip", Config, classicWith({ { "[Digital]\n", "[digital]\n" } }), "",
        { s + "1: error: group [Digital] is missing, so DCX, DCY, DCSize and DCColor take their defaults",
          s + "17: warning: unknown group \"[digital]\" (its keys are ignored); did you mean \"[Digital]\"?" },
        "1 error, 1 warning");
    row("key in another group", Config,
        classicWith({ { "ClockImage=face.png\n", "" }, { "BACKGROUND=back.png\n", "BACKGROUND=back.png\nClockImage=face.png\n" } }),
        "",
        { s + "3: warning: unknown key \"ClockImage\" in [General]; it belongs in [Analog]",
          s + "4: error: ClockImage is missing: there is no clock face, and the hands turn about the placement point" },
        "1 error, 1 warning");
    row("too short for a guess", Config, classicWith({ { "DCColor=16777215\n", "DCColor=16777215\nDCQ=5\n" } }), "",
        { s + "22: warning: unknown key \"DCQ\" in [Digital]" }, "1 warning");
    row("key of config.cfg in the skin", Config, classic + "TimeOut=3000\n", "",
        { s + "39: warning: unknown key \"TimeOut\" in [Notify]; the lock screen reads \"TimeOut\" from config.cfg" },
        "1 warning");

    // Missing keys, groups and files: the line of the group, else line 1.
    row("key missing", Config, classicWith({ { "NotifyWord1=Now press the star key\n", "" } }), "",
        { s + "32: error: NotifyWord1 is missing: no hint is shown while the unlock is armed" }, "1 error");
    row("group missing", Config,
        classicWith({ { "[Lunar]\nLunarX=40\nLunarY=280\nLunarSize=14\nLunarColor=12632256\n", "" } }), "",
        { s + "1: error: group [Lunar] is missing, so LunarX, LunarY, LunarSize and LunarColor take their defaults" },
        "1 error");
    row("group of one key missing", Config, classicWith({ { "[General]\nBACKGROUND=back.png\n", "" } }), "",
        { s + "1: error: group [General] is missing, so BACKGROUND takes its default: no frame is drawn at all" },
        "1 error");
    row("skin.cfg missing", Config, classic, "no skin.cfg",
        { s + "1: error: cannot read the skin file (there is no such file): every skin key takes its default, and no "
              "frame is drawn at all" },
        "1 error");

    // Repeated keys and lines the reader drops.
    row("repeated key", Config, classicWith({ { "DCX=70\n", "DCX=10\nDCX=70\n" } }), "",
        { s + "19: warning: DCX is repeated in [Digital]; the last one wins, so line 18 is ignored" }, "1 warning");
    row("repeated in a reopened group", Config, classic + "[Digital]\nDCX=70\n", "",
        { s + "40: warning: DCX is repeated in [Digital]; the last one wins, so line 18 is ignored" }, "1 warning");
    row("ignored lines", Config, classic + "Press here\n[Extra\n=5\n", "",
        { s + "39: warning: \"Press here\" is neither a [group], a key=value line nor a comment, and is ignored",
          s + "40: warning: \"[Extra\" is no group line (it does not end with \"]\") and is ignored",
          s + "41: warning: \"=5\" has no key before \"=\" and is ignored" },
        "3 warnings");
    row("cut at 1 MiB", Config, skinCutAtLimit(), "",
        { s + "32: error: NotifyWord1 is missing: no hint is shown while the unlock is armed",
          s + "39: warning: the file is longer than 1 MiB; the lock screen reads only the first 1 MiB and ignores "
              "everything from here on" },
        "1 error, 1 warning");
    row("not UTF-8", Config, classicWith({ { "=Press the centre key to unlock\n", "=Dr\xfc" "cken\n" } }), "",
        { s + "37: warning: the line holds bytes that are not UTF-8; the lock screen shows each as \uFFFD (save the file "
              "as UTF-8)" },
        "1 warning");

    // Colours: decimal 0..16777215, with the decimal form of what was meant.
    row("colours not in decimal", Config,
        classicWith({ { "SecColor=16711680", "SecColor=0xFF0000" }, { "MinColor=16777215", "MinColor=#00ff00" },
                      { "HourColor=16777215", "HourColor=Steelblue" }, { "DCColor=16777215", "DCColor=16777216" },
                      { "DateColor=12632256", "DateColor=0x1000000" }, { "LunarColor=12632256", "LunarColor=" } }),
        "",
        { s + "6: error: SecColor=0xFF0000 is not a decimal colour and draws black; write 16711680",
          s + "7: error: MinColor=#00ff00 is not a decimal colour and draws black; write 65280",
          s + "8: error: HourColor=Steelblue is not a decimal colour and draws black; write 4620980",
          s + "21: error: DCColor=16777216 is outside 0 to 16777215 and draws black",
          s + "26: error: DateColor=0x1000000 is not a decimal colour and draws black; write 65536 x red + 256 x green + "
              "blue in decimal, e.g. 16711680 for red",
          s + "31: error: LunarColor is empty: the lunar date is drawn black" },
        "6 errors");
    row("colours drawn other than written", Config,
        classicWith({ { "MinColor=16777215", "MinColor=#f00" }, { "HourColor=16777215", "HourColor=black" },
                      { "DCColor=16777215", "DCColor=-16711681" } }),
        "",
        { s + "7: error: MinColor=#f00 is not a decimal colour and draws black; write 16711680",
          s + "8: warning: HourColor=black is not a decimal colour; it draws black as meant, but write 0",
          s + "21: error: DCColor=-16711681 is outside 0 to 16777215 and draws as 65535" },
        "2 errors, 1 warning");

    // Integers by the reader's rule, and their ranges.
    row("not integers", Config,
        classicWith({ { "HourHeight=40", "HourHeight=4O" }, { "DCY=235", "DCY=4294967531" },
                      { "DateSize=14", "DateSize=" } }),
        "",
        { s + "9: error: HourHeight=4O is not an integer (an optional sign and decimal digits within 32 bits), so -1 is "
              "used: the hour hand becomes a 1-pixel stub",
          s + "19: error: DCY=4294967531 is not an integer (an optional sign and decimal digits within 32 bits), so -1 "
              "is used: the digital time's baseline is at y = -1, above the screen",
          s + "25: error: DateSize is empty, so -1 is used: the date is drawn in the toolkit's default size" },
        "3 errors");
    row("hand lengths and widths", Config,
        classicWith({ { "HourHeight=40", "HourHeight=0" }, { "MinHeight=60", "MinHeight=-60" },
                      { "MinWidth=3", "MinWidth=40000" }, { "SecWidth=1", "SecWidth=0" } }),
        "",
        { s + "9: error: HourHeight=0: a hand length must be 1 or more; the hour hand shows as a dot",
          s + "10: error: MinHeight=-60: a hand length must be 1 or more; the minute hand points away from the time it "
              "shows",
          s + "13: warning: MinWidth=40000: the toolkit draws no pen wider than 32767 pixels, so the minute hand is "
              "drawn 32767 pixels wide",
          s + "14: warning: SecWidth=0: the second hand is drawn 1 pixel wide; write 1 if that is meant" },
        "2 errors, 2 warnings");
    row("hand length at the limit of int", Config, classicWith({ { "HourHeight=40", "HourHeight=-2147483648" } }), "",
        { s + "9: error: HourHeight=-2147483648: a hand length must be 1 or more; the hour hand points away from the "
              "time it shows" },
        "1 error");
    row("zero size", Config, classicWith({ { "DCSize=20", "DCSize=0" } }), "",
        { s + "20: error: DCSize=0: a text size must be 1 to 200; the digital time is drawn in the toolkit's default "
              "size" },
        "1 error");
    // Beyond 200 points the glyphs outgrow the screen, then vanish, then turn to boxes.
    row("sizes beyond the largest", Config,
        classicWith({ { "DCSize=20", "DCSize=201" }, { "DateSize=14", "DateSize=40000" },
                      { "LunarSize=14", "LunarSize=2147483647" }, { "NotifySize=12", "NotifySize=40000" } }),
        "",
        { s + "20: error: DCSize=201: a text size must be 1 to 200, the largest whose line fits the 320-pixel-high "
              "screen; the digital time is drawn at 200",
          s + "25: error: DateSize=40000: a text size must be 1 to 200, the largest whose line fits the "
              "320-pixel-high screen; the date is drawn at 200",
          s + "30: error: LunarSize=2147483647: a text size must be 1 to 200, the largest whose line fits the "
              "320-pixel-high screen; the lunar date is drawn at 200",
          s + "35: error: NotifySize=40000: a text size must be 1 to 200, the largest whose line fits the "
              "320-pixel-high screen; the hint is drawn at 200" },
        "4 errors");

    // Text baselines: the left end must lie on the screen.
    row("text at the last column and row, at the largest size", Config,
        classicWith({ { "DCX=70", "DCX=239" }, { "DCSize=20", "DCSize=200" }, { "NotifyY=305", "NotifyY=320" } }), "",
        {}, "no problems");
    row("text off the screen", Config,
        classicWith({ { "DCX=70", "DCX=240" }, { "DateX=75", "DateX=-5" }, { "LunarY=280", "LunarY=0" },
                      { "NotifyY=305", "NotifyY=321" } }),
        "",
        { s + "18: error: DCX=240 starts the digital time off the 240-pixel-wide screen (x from 0 to 239)",
          s + "23: error: DateX=-5 starts the date off the 240-pixel-wide screen (x from 0 to 239)",
          s + "29: error: LunarY=0 puts the baseline of the lunar date off the 320-pixel-high screen (y from 1 to 320)",
          s + "34: error: NotifyY=321 puts the baseline of the hint off the 320-pixel-high screen (y from 1 to 320)" },
        "4 errors");

    // The clock face, placed with the face image's real size (150 x 150).
    row("placement keyword slips", Config,
        classicWith({ { "ClockLeft=center", "ClockLeft=Right" }, { "ClockTop=30", "ClockTop=centre" } }), "",
        { s + "15: error: ClockLeft=Right is no keyword (left, right, center) and no integer, so the clock face is "
              "placed at x = 0; did you mean \"right\"?",
          s + "16: error: ClockTop=centre is no keyword (top, bottom, center) and no integer, so the clock face is "
              "placed at y = 0; did you mean \"center\"?" },
        "2 errors");
    row("placement empty or of the other axis", Config,
        classicWith({ { "ClockLeft=center", "ClockLeft=" }, { "ClockTop=30", "ClockTop=left" } }), "",
        { s + "15: error: ClockLeft is empty, so the clock face is placed at x = 0",
          s + "16: error: ClockTop=left is no keyword (top, bottom, center) and no integer, so the clock face is placed "
              "at y = 0; \"left\" is a keyword of ClockLeft" },
        "2 errors");
    row("right and bottom", Config,
        classicWith({ { "ClockLeft=center", "ClockLeft=right" }, { "ClockTop=30", "ClockTop=bottom" } }), "", {},
        "no problems");
    // The centre's last place on the screen: the face may reach past the edges.
    row("face past the edges", Config,
        classicWith({ { "ClockLeft=center", "ClockLeft=100" }, { "ClockTop=30", "ClockTop=-75" } }), "",
        { s + "15: warning: ClockLeft=100 puts the clock face at x = 100 to 249, past the right edge of the "
              "240-pixel-wide screen",
          s + "16: warning: ClockTop=-75 puts the clock face at y = -75 to 74, past the top edge of the 320-pixel-high "
              "screen" },
        "2 warnings");
    row("centre off the screen", Config,
        classicWith({ { "ClockLeft=center", "ClockLeft=165" }, { "ClockTop=30", "ClockTop=-76" } }), "",
        { s + "15: error: ClockLeft=165 puts the clock centre at x = 240, off the 240-pixel-wide screen",
          s + "16: error: ClockTop=-76 puts the clock centre at y = -1, off the 320-pixel-high screen" },
        "2 errors");
    row("face at the limit of int", Config, classicWith({ { "ClockLeft=center", "ClockLeft=2147483647" } }), "",
        { s + "15: error: ClockLeft=2147483647 puts the clock centre at x = 16777216, off the 240-pixel-wide screen" },
        "1 error");
    row("centre past the right edge", Config, classicWith({ { "ClockLeft=center", "ClockLeft=165" } }), "",
        { s + "15: error: ClockLeft=165 puts the clock centre at x = 240, off the 240-pixel-wide screen" }, "1 error");
    row("face larger than the screen", Config, classicWith({ { "ClockTop=30", "ClockTop=center" } }), "face 300x400",
        { s + "15: warning: ClockLeft=center puts the clock face at x = -30 to 269, past both edges of the "
              "240-pixel-wide screen",
          s + "16: warning: ClockTop=center puts the clock face at y = -40 to 359, past both edges of the "
              "320-pixel-high screen" },
        "2 warnings");
    // With no face the hands turn about the placement point: "right" is x = 240.
    row("no face, placed right", Config, classicWith({ { "ClockLeft=center", "ClockLeft=right" } }), "no face",
        { s + "4: error: ClockImage=face.png names no file (there is no skin/classic/face.png): there is no clock face, "
              "and the hands turn about the placement point",
          s + "15: error: ClockLeft=right puts the clock centre at x = 240, off the 240-pixel-wide screen" },
        "2 errors");

    // Images, read as the lock screen reads them.
    row("image names slipped", Config, classicWith({ { "=back.png", "=Back.png" }, { "=face.png", "=face.jpg" } }), "",
        { s + "2: error: BACKGROUND=Back.png names no file (there is no skin/classic/Back.png): no frame is drawn at "
              "all; did you mean \"back.png\"?",
          s + "4: error: ClockImage=face.jpg names no file (there is no skin/classic/face.jpg): there is no clock face, "
              "and the hands turn about the placement point; did you mean \"face.png\"?" },
        "2 errors");
    row("empty image name", Config, classicWith({ { "=back.png", "=" } }), "",
        { s + "2: error: BACKGROUND is empty: no frame is drawn at all" }, "1 error");
    row("not an image", Config, classic, "cap is text",
        { s + "5: error: Clockcenter=cap.png names a file that is not an image the toolkit can read: there is no centre "
              "cap" },
        "1 error");
    row("folder for an image", Config, classic, "background is a folder",
        { s + "2: error: BACKGROUND=back.png names a folder, not an image file: no frame is drawn at all" }, "1 error");
    row("FIFO for an image", Config, classic, "background is a FIFO",
        { s + "2: error: BACKGROUND=back.png names a device, FIFO or socket, not an image file: no frame is drawn at "
              "all" },
        "1 error");
    row("image file over the size limit", Config, classic, "background over 64 MiB",
        { s + "2: error: BACKGROUND=back.png names a file of more than 64 MiB, which is not read: no frame is drawn at "
              "all" },
        "1 error");
    row("truncated image", Config, classic, "truncated face",
        { s + "4: error: ClockImage=face.png names a png file whose image data cannot be decoded (the data ends "
              "before the image does): there is no clock face, and the hands turn about the placement point" },
        "1 error");
    row("whole jpeg", Config, classic, "jpeg background", {}, "no problems");
    row("jpeg cut short", Config, classic, "jpeg background cut to a third",
        { s + "2: error: BACKGROUND=back.png names a jpeg file whose image data is cut short or damaged (Premature "
              "end of JPEG file): the background is drawn with what is missing filled in grey" },
        "1 error");
    row("image wider than is loaded", Config, classic, "huge face",
        { s + "4: error: ClockImage=face.png names an image of 20000 x 20000 pixels, too large: more than the 16384 "
              "x 16384 pixels that are loaded, so it is not loaded: there is no clock face, and the hands turn "
              "about the placement point" },
        "1 error");
    row("image decoded whole beyond the allocation limit", Config, classic, "bmp face over the allocation limit",
        { s + QStringLiteral("4: error: ClockImage=face.png names an image of 6000 x 6000 pixels, too large: "
                             "beyond the toolkit's image allocation limit of %1 MiB, so it is not loaded: there "
                             "is no clock face, and the hands turn about the placement point")
                  .arg(QImageReader::allocationLimit()) },
        "1 error");
    row("small background", Config, classic, "background 200x300",
        { s + "2: warning: BACKGROUND=back.png is 200 x 300 pixels, not 240 x 320: each frame has its size, so part of "
              "the screen is never drawn" },
        "1 warning");
    row("large background", Config, classic, "background 480x640",
        { s + "2: warning: BACKGROUND=back.png is 480 x 640 pixels, not 240 x 320: only its top-left part is shown; it "
              "is cut to 240 x 320 when loaded" },
        "1 warning");
    row("NUL byte in an image name", Config, classicWith({ { "=back.png\n", QByteArray("=back.png\0../../x\n", 18) } }),
        "",
        { s + "2: error: BACKGROUND=back.png\\0../../x holds a NUL byte, which no file name can hold, so no file is "
              "opened: no frame is drawn at all" },
        "1 error");
    row("image is a link to itself", Config, classic, "background is a link loop",
        { s + "2: error: BACKGROUND=back.png names a symbolic link that leads back to itself (too many levels of "
              "links): no frame is drawn at all" },
        "1 error");
    row("hint in quotes", Config, classicWith({ { "=Now press the star key", "=\"Now press the star key\"" } }), "",
        { s + "38: warning: NotifyWord1: the quotes are shown as part of the hint while the unlock is armed; values "
              "need no quotes" },
        "1 warning");

    // config.cfg.
    row("no config.cfg", Config, classic, "no config",
        { c + "1: error: cannot read the settings file (there is no such file): the lock screen reads skin//skin.cfg, "
              "so every skin key takes its default, and the middle key stays armed until an unlock, with no time-out" },
        "1 error");
    row("Skin missing", "[General]\nTimeOut=3000\n", classic, "",
        { c + "1: error: Skin is missing: the lock screen reads skin//skin.cfg, so every skin key takes its default" },
        "1 error");
    row("Skin empty", "[General]\nSkin=\nTimeOut=3000\n", classic, "",
        { c + "2: error: Skin is empty: the lock screen reads skin//skin.cfg, so every skin key takes its default" },
        "1 error");
    row("Skin names no folder", "[General]\nSkin=clasic\nTimeOut=3000\n", classic, "",
        { c + "2: error: Skin=clasic names no folder (there is no skin/clasic/): the lock screen finds no skin.cfg, so "
              "every skin key takes its default; did you mean \"classic\"?" },
        "1 error");
    row("TimeOut missing", "[General]\nSkin=classic\n", classic, "",
        { c + "1: error: TimeOut is missing: the middle key stays armed until an unlock, with no time-out" }, "1 error");
    row("TimeOut in seconds", "[General]\nSkin=classic\nTimeOut=3s\n", classic, "",
        { c + "3: error: TimeOut=3s is not an integer (an optional sign and decimal digits within 32 bits), so -1 is "
              "used: the middle key stays armed until an unlock, with no time-out" },
        "1 error");
    row("TimeOut zero", "[General]\nSkin=classic\nTimeOut=0\n", classic, "",
        { c + "3: warning: TimeOut=0 is not positive: the middle key stays armed until an unlock, with no time-out" },
        "1 warning");
    row("TimeOut of 3 ms", "[General]\nSkin=classic\nTimeOut=3\n", classic, "",
        { c + "3: warning: TimeOut=3 leaves only 3 ms to press the star key after the middle key; the time-out is in "
              "milliseconds (3 seconds is 3000)" },
        "1 warning");
    row("TimeOut just too short", "[General]\nSkin=classic\nTimeOut=499\n", classic, "",
        { c + "3: warning: TimeOut=499 leaves only 499 ms to press the star key after the middle key; the time-out is "
              "in milliseconds" },
        "1 warning");
    row("TimeOut of half a second", "[General]\nSkin=classic\nTimeOut=500\n", classic, "", {}, "no problems");
    row("key before the first group", "TimeOut=3000\n[General]\nSkin=classic\n", classic, "",
        { c + "1: warning: key \"TimeOut\" stands before the first group and is ignored; put it under [General]",
          c + "2: error: TimeOut is missing: the middle key stays armed until an unlock, with no time-out" },
        "1 error, 1 warning");
    row("skin key in config.cfg", Config + "BACKGROUND=back.png\n", classic, "",
        { c + "4: warning: unknown key \"BACKGROUND\" in [General]; the lock screen reads \"BACKGROUND\" from skin.cfg" },
        "1 warning");
    row("skin group in config.cfg", Config + "[Analog]\nClockLeft=center\n", classic, "",
        { c + "4: warning: unknown group \"[Analog]\" (its keys are ignored): the lock screen reads [Analog] from "
              "skin.cfg" },
        "1 warning");
    row("group case slip in config.cfg", "[general]\nSkin=classic\nTimeOut=3000\n", classic, "",
        { c + "1: warning: unknown group \"[general]\" (its keys are ignored); did you mean \"[General]\"?",
          c + "1: error: Skin is missing: the lock screen reads skin//skin.cfg, so every skin key takes its default",
          c + "1: error: TimeOut is missing: the middle key stays armed until an unlock, with no time-out" },
        "2 errors, 1 warning");
}

void TestLockctlCheck::brokenSkins()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, skin);
    QFETCH(QString, fixture);
    QFETCH(QStringList, expected);
    QFETCH(QString, summary);

    AppFolder folder;
    writeRow(folder, config, skin, fixture);
    if (QTest::currentTestFailed())
        return;

    const Result r = runCheck({ QStringLiteral("--app-dir"), folder.path() });
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QStringList lines = r.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString());  // the output ends with a line end
    QCOMPARE(lines.takeLast(), summary);
    const QString prefix = folder.path() + QLatin1Char('/');
    for (QString& line : lines) {
        QVERIFY2(line.startsWith(prefix), qPrintable(line));
        line.remove(0, prefix.size());
    }
    QCOMPARE(lines, expected);
    const bool anyError = std::any_of(expected.cbegin(), expected.cend(),
                                      [](const QString& line) { return line.contains(QLatin1String(": error: ")); });
    QCOMPARE(r.code, anyError ? lockctl::ExitFailure : lockctl::ExitOk);
}

namespace {

// What a check report or a composed frame says about the frame the lock
// screen shows: whether there is one, which images are missing, where the
// clock centre falls, and how wide each hand is drawn.
struct FrameFacts
{
    bool frame = true;
    bool face = true;
    bool cap = true;
    bool centreOnScreenX = true;
    bool centreOnScreenY = true;
    int handWidths[3] = { 0, 0, 0 };  // hour, minute, second, in pixels

    QString toString() const
    {
        return QStringLiteral("frame %1, face %2, cap %3, centre on screen %4/%5, hands %6/%7/%8 px")
            .arg(frame).arg(face).arg(cap).arg(centreOnScreenX).arg(centreOnScreenY)
            .arg(handWidths[0]).arg(handWidths[1]).arg(handWidths[2]);
    }
    bool operator==(const FrameFacts& o) const
    {
        return frame == o.frame && face == o.face && cap == o.cap && centreOnScreenX == o.centreOnScreenX
               && centreOnScreenY == o.centreOnScreenY && handWidths[0] == o.handWidths[0]
               && handWidths[1] == o.handWidths[1] && handWidths[2] == o.handWidths[2];
    }
};

// The frame as check's report describes it. Where check says nothing about
// a hand, it stands for the width as written in skin.cfg.
FrameFacts factsFromReport(const QString& report, const QString& skinFile)
{
    FrameFacts facts;
    const bool allDefaults = report.contains(QLatin1String("every skin key takes its default"));
    const bool analogMissing = report.contains(QLatin1String("group [Analog] is missing"));
    facts.frame = !allDefaults && !report.contains(QLatin1String("no frame is drawn at all"));
    facts.face = !allDefaults && !analogMissing && !report.contains(QLatin1String("there is no clock face"));
    facts.cap = !allDefaults && !analogMissing && !report.contains(QLatin1String("there is no centre cap"));
    facts.centreOnScreenX = !report.contains(QRegularExpression(QStringLiteral("clock centre at x = -?\\d+, off")));
    facts.centreOnScreenY = !report.contains(QRegularExpression(QStringLiteral("clock centre at y = -?\\d+, off")));

    const ZConfig written(skinFile);
    const char* hands[] = { "hour", "minute", "second" };
    const char* keys[] = { "HourWidth", "MinWidth", "SecWidth" };
    for (int i = 0; i < 3; ++i) {
        const QRegularExpression said(QStringLiteral("the %1 hand is drawn (\\d+) pixels? wide").arg(QLatin1String(hands[i])));
        const QRegularExpressionMatch match = said.match(report);
        if (match.hasMatch())
            facts.handWidths[i] = match.captured(1).toInt();
        else if (allDefaults || analogMissing)
            facts.handWidths[i] = 1;
        else
            facts.handWidths[i] = written.readNumEntry(QStringLiteral("Analog"), QLatin1String(keys[i]), 1);
    }
    return facts;
}

// The frame as the lock window composes it for the program folder.
FrameFacts factsFromWindow(const QString& appDir)
{
    SilentDiagnosticSink silent;
    const ScopedDiagnosticSink quiet(silent);
    FrameFacts facts;
    {
        FramePreview preview(appDir);
        facts.frame = preview.hasFrame() && !preview.frame(0, false).isNull();
    }
    const WallClock systemClock;
    quelView view(appDir + QLatin1String("/lockapp"), systemClock);
    QuelViewAccess access(view);
    facts.face = !access.faceSize().isEmpty();
    facts.cap = !access.capSize().isEmpty();
    const QPoint centre = access.clockCentre();
    facts.centreOnScreenX = centre.x() >= 0 && centre.x() < PhoneScreen::Width;
    facts.centreOnScreenY = centre.y() >= 0 && centre.y() < PhoneScreen::Height;

    RecordingDevice device;
    QPainter painter(&device);
    access.drawAnalog(painter);
    painter.end();
    if (device.recorded.lines.size() != 3)
        return {};
    for (int i = 0; i < 3; ++i)
        // A pen of width 0 draws one pixel wide.
        facts.handWidths[i] = qMax(1, device.recorded.lines.at(i).width);
    return facts;
}

} // namespace

void TestLockctlCheck::checkAgreesWithPreview()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, skin);
    QFETCH(QString, fixture);

    AppFolder folder;
    writeRow(folder, config, skin, fixture);
    if (QTest::currentTestFailed())
        return;

    const Result r = runCheck({ QStringLiteral("--app-dir"), folder.path() });
    const FrameFacts said = factsFromReport(r.out, folder.path() + QLatin1Char('/') + SkinFile);
    const FrameFacts drawn = factsFromWindow(folder.path());
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(said == drawn, qPrintable(QStringLiteral("check says: %1\nthe frame has: %2\nthe report:\n%3")
                                           .arg(said.toString(), drawn.toString(), r.out)));
}

void TestLockctlCheck::otherSkin_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QStringList>("expected");

    // With --skin, config.cfg's Skin is neither needed nor looked at; the
    // rest of config.cfg still is.
    QTest::newRow("no Skin") << QByteArray("[General]\nTimeOut=3000\n") << QStringList();
    QTest::newRow("Skin names no folder") << QByteArray("[General]\nSkin=gone\nTimeOut=3000\n") << QStringList();
    QTest::newRow("TimeOut missing") << QByteArray("[General]\n")
                                     << QStringList{ "config.cfg:1: error: TimeOut is missing: the middle key stays "
                                                     "armed until an unlock, with no time-out" };
}

void TestLockctlCheck::otherSkin()
{
    QFETCH(QByteArray, config);
    QFETCH(QStringList, expected);

    AppFolder folder;
    folder.writeClassic();
    folder.writeConfig(config);
    // A second skin that config.cfg does not select, broken in one place.
    folder.writeSkin(QStringLiteral("other"), classicWith({ { "DCX=70", "DCX=x" } }));
    for (const char* image : { "back.png", "face.png", "cap.png" })
        QVERIFY(QFile::copy(folder.path() + "/skin/classic/" + image, folder.path() + "/skin/other/" + image));

    const Result r = runCheck({ QStringLiteral("--skin"), QStringLiteral("other"), QStringLiteral("--app-dir"),
                                folder.path() });
    const QString prefix = folder.path() + QLatin1Char('/');
    expected.append(QStringLiteral("skin/other/skin.cfg:18: error: DCX=x is not an integer (an optional sign and "
                                   "decimal digits within 32 bits), so -1 is used: the digital time starts at x = -1"));
    QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.removeLast();  // the summary
    for (QString& line : lines)
        line.remove(0, prefix.size());
    QCOMPARE(lines, expected);
    QCOMPARE(r.code, lockctl::ExitFailure);

    // A skin folder that does not exist is no check to run.
    const Result missing = runCheck({ QStringLiteral("--skin"), QStringLiteral("nothing"), QStringLiteral("--app-dir"),
                                      folder.path() });
    QCOMPARE(missing.code, lockctl::ExitFailure);
    QVERIFY(missing.out.isEmpty());
    QCOMPARE(missing.err, QStringLiteral("lockctl check: there is no skin folder %1skin/nothing\n").arg(prefix));
}

void TestLockctlCheck::bundledSkinsAreClean_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("the skin config.cfg selects") << QStringList();
    QTest::newRow("classic") << QStringList{ QStringLiteral("--skin"), QStringLiteral("classic") };
    QTest::newRow("night") << QStringList{ QStringLiteral("--skin"), QStringLiteral("night") };
}

void TestLockctlCheck::bundledSkinsAreClean()
{
    QFETCH(QStringList, options);
    const Result r = runCheck(QStringList{ QStringLiteral("--app-dir"), QStringLiteral(LOCKAPP_STAGE_DIR) } + options);
    QCOMPARE(r.out, QStringLiteral("no problems\n"));
    QVERIFY(r.err.isEmpty());
    QCOMPARE(r.code, lockctl::ExitOk);
}

void TestLockctlCheck::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString stage = QStringLiteral(LOCKAPP_STAGE_DIR);
    QTest::newRow("option without its value") << QStringList{ QStringLiteral("--app-dir") }
                                              << QStringLiteral("Missing value after '--app-dir'.");
    QTest::newRow("unknown option") << QStringList{ QStringLiteral("--fix") } << QStringLiteral("Unknown option 'fix'.");
    QTest::newRow("positional argument") << QStringList{ QStringLiteral("classic") }
                                         << QStringLiteral("unexpected argument 'classic'");
    QTest::newRow("app folder missing") << QStringList{ QStringLiteral("--app-dir"), stage + "/no-such-folder" }
                                        << QStringLiteral("'%1/no-such-folder' is not a folder").arg(stage);
    QTest::newRow("app folder is a file") << QStringList{ QStringLiteral("--app-dir"), stage + "/config.cfg" }
                                          << QStringLiteral("'%1/config.cfg' is not a folder").arg(stage);
    QTest::newRow("empty skin name") << QStringList{ QStringLiteral("--app-dir"), stage, QStringLiteral("--skin"), QString() }
                                     << QStringLiteral("--skin needs a skin name");
    QTest::newRow("app folder twice") << QStringList{ QStringLiteral("--app-dir"), stage, QStringLiteral("--app-dir"), stage }
                                      << QStringLiteral("--app-dir and --skin may be given once each");
}

void TestLockctlCheck::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Result r = runCheck(args);
    QCOMPARE(r.code, lockctl::ExitUsage);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.err, QStringLiteral("lockctl check: %1\nusage: lockctl check [--app-dir DIR] [--skin NAME]   (see "
                                   "lockctl help check)\n")
                        .arg(message));
}

void TestLockctlCheck::binaryChecksItsOwnFolder()
{
    // Without --app-dir lockctl checks the folder it is installed in, not
    // the working directory.
    QTemporaryDir elsewhere;
    QProcess process;
    process.setWorkingDirectory(elsewhere.path());
    process.start(lockctlPath(), { QStringLiteral("check") });
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.readAllStandardOutput(), QByteArray("no problems\n"));
    QCOMPARE(process.readAllStandardError(), QByteArray());
    QCOMPARE(process.exitCode(), 0);
}

void TestLockctlCheck::binaryReportsProblems()
{
    AppFolder folder;
    folder.writeClassic();
    folder.writeSkin(QStringLiteral("classic"), classicWith({ { "Clockcenter=", "ClockCenter=" } }));

    QProcess process;
    process.setWorkingDirectory(folder.path());
    process.start(lockctlPath(), { QStringLiteral("check"), QStringLiteral("--app-dir"), QStringLiteral(".") });
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.readAllStandardOutput(),
             QByteArray("skin/classic/skin.cfg:3: error: Clockcenter is missing: there is no centre cap\n"
                        "skin/classic/skin.cfg:5: warning: unknown key \"ClockCenter\" in [Analog]; did you mean "
                        "\"Clockcenter\"?\n"
                        "1 error, 1 warning\n"));
    QCOMPARE(process.exitCode(), 1);
}

void TestLockctlCheck::binaryUsageError()
{
    QProcess process;
    process.start(lockctlPath(), { QStringLiteral("check"), QStringLiteral("--skin") });
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    QVERIFY(process.readAllStandardError().startsWith("lockctl check: Missing value after '--skin'."));

    QProcess help;
    help.start(lockctlPath(), { QStringLiteral("help"), QStringLiteral("check") });
    QVERIFY(help.waitForFinished(60000));
    QCOMPARE(help.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(help.readAllStandardOutput()), checkCommandSyntax.help());
}

QTEST_MAIN(TestLockctlCheck)
#include "tst_lockctl_check.moc"
