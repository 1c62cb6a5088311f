#include "common/appfolder.h"
#include "common/lockwindowfixture.h"

#include "app/quelview.h"
#include "common/quelviewaccess.h"
#include "skin/skinloading.h"
#include "platform/diagnostics.h"

#include <QDir>
#include <QTest>

#include <memory>
#include <sys/resource.h>
#include <unistd.h>

class tst_SkinLoading : public QObject
{
    Q_OBJECT
private slots:
    void classicSkinIsReadWhole();
    void missingSettingsFileGivesDefaults();
    void emptyAppDirReadsWorkingDirectory();
    void valuesAreStoredUnchecked();
    void missingKeyTakesItsDefaultAlone();
    void clockPlacement_data();
    void clockPlacement();
    void imagesAreRecognisedFromContents_data();
    void imagesAreRecognisedFromContents();
    void chosenSkinLoadsAsAStartWithIt_data();
    void chosenSkinLoadsAsAStartWithIt();
    void unreadableImagesAreSaid_data();
    void unreadableImagesAreSaid();
};

namespace {
// A window started by a program path of the case's choosing; these cases
// look at what it loaded, not at the time.
std::unique_ptr<quelView> openWindow(const QString& programPath)
{
    static const WallClock systemClock;
    return std::make_unique<quelView>(programPath, systemClock);
}
} // namespace

void tst_SkinLoading::classicSkinIsReadWhole()
{
    LockWindowFixture window;
    window.folder.writeClassic();
    quelView& view = window.open();
    QuelViewAccess access(view);

    QCOMPARE(access.appDir(), window.folder.path() + "/");
    QCOMPARE(access.skinDir(), window.folder.path() + "/skin/classic/");
    const SkinSettings& s = access.settings();
    QCOMPARE(s.timeOut, 3000);
    QCOMPARE(s.background, QStringLiteral("back.png"));
    QCOMPARE(s.clockImage, QStringLiteral("face.png"));
    QCOMPARE(s.clockCenter, QStringLiteral("cap.png"));
    QCOMPARE(s.secColor, QStringLiteral("16711680"));
    QCOMPARE(s.minColor, QStringLiteral("16777215"));
    QCOMPARE(s.hourColor, QStringLiteral("16777215"));
    QCOMPARE(s.hourHeight, 40);
    QCOMPARE(s.minHeight, 60);
    QCOMPARE(s.secHeight, 70);
    QCOMPARE(s.hourWidth, 4);
    QCOMPARE(s.minWidth, 3);
    QCOMPARE(s.secWidth, 1);
    QCOMPARE(s.clockLeft, QStringLiteral("center"));
    QCOMPARE(s.clockTop, QStringLiteral("30"));
    QCOMPARE(s.dcX, 70);
    QCOMPARE(s.dcY, 235);
    QCOMPARE(s.dcSize, 20);
    QCOMPARE(s.dcColor, QStringLiteral("16777215"));
    QCOMPARE(s.dateX, 75);
    QCOMPARE(s.dateY, 258);
    QCOMPARE(s.dateSize, 14);
    QCOMPARE(s.dateColor, QStringLiteral("12632256"));
    QCOMPARE(s.lunarX, 40);
    QCOMPARE(s.lunarY, 280);
    QCOMPARE(s.lunarSize, 14);
    QCOMPARE(s.lunarColor, QStringLiteral("12632256"));
    QCOMPARE(s.notifyX, 20);
    QCOMPARE(s.notifyY, 305);
    QCOMPARE(s.notifySize, 12);
    QCOMPARE(s.notifyColor, QStringLiteral("16776960"));
    QCOMPARE(s.notifyWord0, QStringLiteral("Press the centre key to unlock"));
    QCOMPARE(s.notifyWord1, QStringLiteral("Now press the star key"));

    QCOMPARE(access.background().size(), QSize(240, 320));
    QCOMPARE(access.face().size(), QSize(150, 150));
    QCOMPARE(access.cap().size(), QSize(21, 21));
    QCOMPARE(access.clockCorner(), QPoint(45, 30));
    QCOMPARE(access.clockCentre(), QPoint(120, 105));
    QVERIFY(!view.isVisible());
    QCOMPARE(view.objectName(), QStringLiteral("quelView"));
    QCOMPARE(QByteArray(view.metaObject()->className()), QByteArray("quelView"));
    QCOMPARE(QByteArray(view.className()), QByteArray("quelView"));
}

void tst_SkinLoading::missingSettingsFileGivesDefaults()
{
    LockWindowFixture window;
    quelView& view = window.open();
    QuelViewAccess access(view);

    QCOMPARE(access.skinDir(), window.folder.path() + "/skin//");
    const SkinSettings& s = access.settings();
    QCOMPARE(s.timeOut, -1);
    QVERIFY(s.background.isNull());
    QVERIFY(s.notifyWord0.isNull());
    QVERIFY(s.secColor.isNull());
    QCOMPARE(s.hourHeight, -1);
    QCOMPARE(s.notifySize, -1);
    QVERIFY(access.background().isNull());
    // An empty face: "center" would give 120; an absent value gives 0.
    QCOMPARE(access.clockCorner(), QPoint(0, 0));
    QCOMPARE(access.clockCentre(), QPoint(0, 0));
}

void tst_SkinLoading::emptyAppDirReadsWorkingDirectory()
{
    AppFolder folder;
    folder.writeClassic();
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));
    auto view = openWindow(QStringLiteral("./lockapp"));
    QDir::setCurrent(previous);
    QuelViewAccess access(*view);

    QCOMPARE(access.appDir(), QString());
    QCOMPARE(access.skinDir(), QStringLiteral("skin/classic/"));
    QCOMPARE(access.settings().timeOut, 3000);
    QCOMPARE(access.settings().dcY, 235);
}

void tst_SkinLoading::valuesAreStoredUnchecked()
{
    LockWindowFixture window;
    window.folder.writeConfig("[General]\nSkin=odd\nTimeOut=0\nBACKGROUND=back.png\n");
    window.folder.writeSkin(QStringLiteral("odd"),
                            "[Analog]\nSecColor=0xFF0000\nMinColor=red\nHourWidth=0\n"
                            "[Digital]\nDCX=-50\n[Notify]\nNotifyWord0=Press OK; then *, 100% sure\n");
    window.folder.writeImage(QStringLiteral("skin/odd/back.png"), QSize(240, 320));
    quelView& view = window.open();
    QuelViewAccess access(view);
    const SkinSettings& s = access.settings();

    QCOMPARE(s.timeOut, 0);
    // BACKGROUND belongs to the skin file: in config.cfg it has no effect.
    QVERIFY(s.background.isNull());
    QVERIFY(access.background().isNull());
    QCOMPARE(s.secColor, QStringLiteral("0xFF0000"));
    QCOMPARE(s.minColor, QStringLiteral("red"));
    QCOMPARE(s.hourWidth, 0);
    QCOMPARE(s.dcX, -50);
    QCOMPARE(s.notifyWord0, QStringLiteral("Press OK; then *, 100% sure"));
}

void tst_SkinLoading::missingKeyTakesItsDefaultAlone()
{
    LockWindowFixture window;
    window.folder.writeConfig("[General]\nSkin=classic\n");
    QByteArray skin = AppFolder::classicSkin();
    skin.replace("HourHeight=40\n", "");
    skin.replace("[Date]\n", "[date]\n");
    window.folder.writeSkin(QStringLiteral("classic"), skin);
    quelView& view = window.open();
    const SkinSettings& s = QuelViewAccess(view).settings();

    QCOMPARE(s.timeOut, -1);
    QCOMPARE(s.hourHeight, -1);
    QCOMPARE(s.minHeight, 60);
    // Group names are case-sensitive: [date] is not [Date].
    QCOMPARE(s.dateX, -1);
    QVERIFY(s.dateColor.isNull());
    QCOMPARE(s.lunarX, 40);
}

void tst_SkinLoading::clockPlacement_data()
{
    QTest::addColumn<QString>("clockLeft");
    QTest::addColumn<QString>("clockTop");
    QTest::addColumn<QSize>("face");  // empty: the face fails to load
    QTest::addColumn<QPoint>("corner");
    QTest::addColumn<QPoint>("centre");

    QTest::newRow("right/bottom 200") << "right" << "bottom" << QSize(200, 200) << QPoint(40, 120) << QPoint(140, 220);
    QTest::newRow("center 151 across") << "center" << "40" << QSize(151, 151) << QPoint(44, 40) << QPoint(119, 115);
    QTest::newRow("center 200 down") << "10" << "center" << QSize(200, 200) << QPoint(10, 60) << QPoint(110, 160);
    QTest::newRow("left/top") << "left" << "top" << QSize(150, 150) << QPoint(0, 0) << QPoint(75, 75);
    QTest::newRow("capital is no keyword") << "Right" << "Bottom" << QSize(150, 150) << QPoint(0, 0) << QPoint(75, 75);
    QTest::newRow("other axis keyword") << "top" << "left" << QSize(150, 150) << QPoint(0, 0) << QPoint(75, 75);
    QTest::newRow("negative number") << "-20" << "+7" << QSize(100, 100) << QPoint(-20, 7) << QPoint(30, 57);
    QTest::newRow("241 wide halves toward zero") << "center" << "center" << QSize(241, 321) << QPoint(0, 0) << QPoint(120, 160);
    QTest::newRow("243 wide") << "center" << "center" << QSize(243, 323) << QPoint(-1, -1) << QPoint(120, 160);
    QTest::newRow("failed load") << "center" << "center" << QSize() << QPoint(120, 160) << QPoint(120, 160);
    QTest::newRow("failed load right/bottom") << "right" << "bottom" << QSize() << QPoint(240, 320) << QPoint(240, 320);
    QTest::newRow("not a number") << "12px" << "" << QSize(150, 150) << QPoint(0, 0) << QPoint(75, 75);
}

void tst_SkinLoading::clockPlacement()
{
    QFETCH(QString, clockLeft);
    QFETCH(QString, clockTop);
    QFETCH(QSize, face);
    QFETCH(QPoint, corner);
    QFETCH(QPoint, centre);

    LockWindowFixture window;
    window.folder.writeConfig("[General]\nSkin=s\n");
    window.folder.writeSkin(QStringLiteral("s"), "[Analog]\nClockImage=face.png\nClockLeft=" + clockLeft.toUtf8()
                                                 + "\nClockTop=" + clockTop.toUtf8() + "\n");
    if (!face.isEmpty())
        window.folder.writeImage(QStringLiteral("skin/s/face.png"), face);
    quelView& view = window.open();
    QuelViewAccess access(view);

    QCOMPARE(access.faceSize(), face.isEmpty() ? QSize(0, 0) : face);
    QCOMPARE(access.clockCorner(), corner);
    QCOMPARE(access.clockCentre(), centre);
}

void tst_SkinLoading::imagesAreRecognisedFromContents_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("loaded");

    QTest::newRow("png named .jpg") << "png-as-jpg" << QSize(30, 40);
    QTest::newRow("text named .png") << "text" << QSize(0, 0);
    QTest::newRow("zero bytes") << "empty" << QSize(0, 0);
    QTest::newRow("truncated png") << "truncated" << QSize(0, 0);
    QTest::newRow("folder") << "folder" << QSize(0, 0);
    QTest::newRow("missing") << "missing" << QSize(0, 0);
}

void tst_SkinLoading::imagesAreRecognisedFromContents()
{
    QFETCH(QString, kind);
    QFETCH(QSize, loaded);

    LockWindowFixture window;
    window.folder.writeConfig("[General]\nSkin=s\n");
    window.folder.writeSkin(QStringLiteral("s"), "[General]\nBACKGROUND=bg.jpg\n[Analog]\nClockImage=face.png\n"
                                                 "ClockLeft=center\nClockTop=center\n");
    window.folder.writeImage(QStringLiteral("skin/s/face.png"), QSize(100, 100));
    const QString bg = QStringLiteral("skin/s/bg.jpg");
    if (kind == "png-as-jpg") {
        window.folder.writeImage(bg, QSize(30, 40));
    } else if (kind == "text") {
        window.folder.writeFile(bg, "this is not an image\n");
    } else if (kind == "empty") {
        window.folder.writeFile(bg, QByteArray());
    } else if (kind == "truncated") {
        window.folder.writeImage(bg, QSize(30, 40));
        QFile file(window.folder.path() + "/" + bg);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(40));
    } else if (kind == "folder") {
        QVERIFY(QDir(window.folder.path()).mkpath(bg));
    }
    quelView& view = window.open();
    QuelViewAccess access(view);

    QCOMPARE(access.background().size(), loaded);
    // The background never moves the clock.
    QCOMPARE(access.clockCorner(), QPoint(70, 110));
}

// A skin named to the loader (as `lockctl preview --skin` and the window's
// useSkin do) gives what a start with Skin set to it gives, and the
// time-out still comes from config.cfg.
void tst_SkinLoading::chosenSkinLoadsAsAStartWithIt_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<int>("hourHeight");  // what tells the two skins apart
    QTest::newRow("another skin") << QStringLiteral("probe") << 50;
    QTest::newRow("the selected skin") << QStringLiteral("classic") << 40;
    QTest::newRow("an absent skin") << QStringLiteral("none") << -1;
}

void tst_SkinLoading::chosenSkinLoadsAsAStartWithIt()
{
    QFETCH(QString, chosen);
    QFETCH(int, hourHeight);
    // Two skins: "probe" (other hands, a face centred, a larger background)
    // and the plain classic one.
    AppFolder folder;
    folder.writeHandProbe(QSize(300, 400), QSize(100, 100), QSize(9, 9));
    QVERIFY(QDir().mkpath(folder.path() + "/skin/probe"));
    for (const char* file : { "skin.cfg", "back.png", "face.png", "cap.png" })
        QVERIFY(QFile::copy(folder.path() + "/skin/classic/" + file, folder.path() + "/skin/probe/" + file));
    folder.writeClassic();

    folder.writeConfig("[General]\nSkin=" + chosen.toUtf8() + "\nTimeOut=2500\n");
    auto started = openWindow(folder.programPath());
    const QuelViewAccess expected(*started);

    folder.writeConfig("[General]\nSkin=classic\nTimeOut=2500\n");
    const LoadedSkin loaded = loadSkin(folder.path() + "/", chosen, QSize(240, 320));
    QCOMPARE(loaded.read.folder, expected.skinDir());
    QCOMPARE(loaded.read.settings.timeOut, 2500);
    QCOMPARE(loaded.read.settings.hourHeight, hourHeight);
    QCOMPARE(expected.settings().hourHeight, hourHeight);
    QCOMPARE(loaded.read.settings.hourColor, expected.settings().hourColor);
    QCOMPARE(loaded.read.settings.clockTop, expected.settings().clockTop);
    QCOMPARE(loaded.images.background.toImage(), expected.background().toImage());
    QCOMPARE(loaded.images.face.toImage(), expected.face().toImage());
    QCOMPARE(loaded.images.cap.toImage(), expected.cap().toImage());
    QCOMPARE(QPoint(loaded.images.placement.clockX, loaded.images.placement.clockY), expected.clockCorner());
    QCOMPARE(QPoint(loaded.images.placement.centerX, loaded.images.placement.centerY), expected.clockCentre());

    // The window switched to the skin holds the same.
    auto view = openWindow(folder.programPath());
    view->useSkin(chosen);
    const QuelViewAccess switched(*view);
    QCOMPARE(switched.skinDir(), expected.skinDir());
    QCOMPARE(switched.settings().timeOut, 2500);
    QCOMPARE(switched.settings().hourHeight, expected.settings().hourHeight);
    QCOMPARE(switched.background().toImage(), expected.background().toImage());
    QCOMPARE(switched.clockCentre(), expected.clockCentre());
}

QTEST_MAIN(tst_SkinLoading)
// A missing image is a skin's choice and stays silent; one that is there but
// cannot be opened (here: no descriptor left, as under a low limit on open
// files) is said once, with its name and the reason, and left out.
void tst_SkinLoading::unreadableImagesAreSaid_data()
{
    QTest::addColumn<bool>("imagesThere");
    QTest::addColumn<bool>("descriptorsLeft");
    QTest::newRow("missing") << false << true;
    QTest::newRow("no descriptor left") << true << false;
}

void tst_SkinLoading::unreadableImagesAreSaid()
{
    QFETCH(bool, imagesThere);
    QFETCH(bool, descriptorsLeft);
    AppFolder folder;
    if (imagesThere) {
        folder.writeClassic();
    } else {
        folder.writeConfig("[General]\nSkin=classic\n");
        folder.writeSkin(QStringLiteral("classic"), AppFolder::classicSkin());
    }
    const SkinSettingsRead read = readSkinSettings(folder.path() + "/");

    CapturingDiagnosticSink sink;
    SkinImages images;
    {
        const ScopedDiagnosticSink scoped(sink);
        struct rlimit saved = {};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
        if (!descriptorsLeft) {
            // The lowest free number is the next one open() would give.
            const int lowestFree = ::dup(0);
            QVERIFY(lowestFree >= 0);
            ::close(lowestFree);
            struct rlimit none = saved;
            none.rlim_cur = rlim_t(lowestFree);
            QVERIFY(::setrlimit(RLIMIT_NOFILE, &none) == 0);
        }
        images = loadSkinImages(read.folder, read.settings, QSize(240, 320));
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &saved) == 0);
    }
    QVERIFY(images.background.isNull() && images.face.isNull() && images.cap.isNull());
    if (!imagesThere) {
        QCOMPARE(sink.warnings, QByteArray());
        return;
    }
    for (const char* name : { "back.png", "face.png", "cap.png" }) {
        const QByteArray line = "warning: cannot read the image " + QFile::encodeName(read.folder) + name
                                + ": Too many open files; it is left out\n";
        QVERIFY2(sink.warnings.count(line) == 1, sink.warnings.constData());
    }
}

#include "tst_skinloading.moc"
