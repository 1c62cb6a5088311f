// lockctl through the built binary: messages sent reaching a subscriber in
// another process, previews written, and every subcommand's command line:
// help, usage errors and exit codes.
#include "common/appfolder.h"
#include "lockctlrun.h"

#include "platform/qcopchannel.h"
#include "platform/sessionnameclaim.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class tst_LockctlTools : public QObject
{
    Q_OBJECT
private slots:
    void sendReachesAnotherProcess_data();
    void sendReachesAnotherProcess();
    void sendWithoutBusFails_data();
    void sendWithoutBusFails();
    void previewWritesTheFrame();
    void previewSheetHoldsTenFrames();
    void previewOfAnotherSkin();
    void helpOptionGivesTheHelpText_data();
    void helpOptionGivesTheHelpText();
    void exitCodes_data();
    void exitCodes();
    void outputFailures_data();
    void outputFailures();
    void previewIgnoresThePlatform_data();
    void previewIgnoresThePlatform();
    void sheetSaysWhenATimeWasMoved();
};

namespace {
using Result = ProcessResult;
ProcessResult lockctl(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    return runLockctl(args, env);
}
} // namespace

void tst_LockctlTools::sendReachesAnotherProcess_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("lockScreenThere");
    QTest::newRow("a lock screen owns its name") << QStringList() << true;
    QTest::newRow("-- before the channel") << QStringList{ "--" } << true;
    // Sent all the same (exit 0), but nobody will act on it: said on stderr.
    QTest::newRow("no lock screen on the bus") << QStringList() << false;
}

void tst_LockctlTools::sendReachesAnotherProcess()
{
    QFETCH(QStringList, options);
    QFETCH(bool, lockScreenThere);
    // The test's own connection stands in for lockapp's, owning its name.
    const QString name = QString::fromLatin1(SessionNameClaim::LockScreenName);
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(bus.isConnected());
    if (lockScreenThere)
        QCOMPARE(SessionNameClaim(bus).claim(), SessionNameClaim::Outcome::Claimed);
    const auto release = qScopeGuard([&] { bus.unregisterService(name); });

    QCopChannel channel("EZX/System");
    QSignalSpy spy(&channel, &QCopChannel::received);
    const Result sent = lockctl(QStringList{ "send" } + options + QStringList{ "EZX/System", "LCDOff" });
    QCOMPARE(sent.code, 0);
    if (lockScreenThere)
        QCOMPARE(sent.err, QByteArray());
    else
        QCOMPARE(sent.err, "lockctl send: no lock screen is running on the session bus (nobody owns " + name.toUtf8()
                               + "); the message was sent, but lockapp is not there to act on it\n");
    const Result withData = lockctl(QStringList{ "send" } + options + QStringList{ "EZX/System", "LCDOn", "some data" });
    QCOMPARE(withData.code, 0);
    QTRY_COMPARE(spy.size(), 2);
    QCOMPARE(spy[0][0].toByteArray(), QByteArray("LCDOff"));
    QCOMPARE(spy[0][1].toByteArray(), QByteArray());
    QCOMPARE(spy[1][0].toByteArray(), QByteArray("LCDOn"));
    QCOMPARE(spy[1][1].toByteArray(), QByteArray("some data"));
}

void tst_LockctlTools::sendWithoutBusFails_data()
{
    QTest::addColumn<QString>("bus");
    QTest::addColumn<QByteArray>("said");
    QTest::addColumn<int>("withinMs");
    // No address: nothing is started (libdbus would autolaunch a bus with a
    // display set), it says so at once.
    QTest::newRow("no address") << QStringLiteral("none") << QByteArray("DBUS_SESSION_BUS_ADDRESS is not set") << 1500;
    QTest::newRow("no address, a display set") << QStringLiteral("none, display")
                                               << QByteArray("DBUS_SESSION_BUS_ADDRESS is not set") << 1500;
    QTest::newRow("nobody listening") << QStringLiteral("absent") << QByteArray("the message was not sent") << 4000;
    // Accepts connections (the kernel's backlog) and never answers, like a
    // stopped bus: it gives up after its time-out.
    QTest::newRow("never answers") << QStringLiteral("silent") << QByteArray("no answer") << 8000;
    // Answers the first step of the handshake, then nothing: the connect call
    // stays stuck in the toolkit's bus thread, and the process still ends,
    // with its own exit code and its message.
    QTest::newRow("stalls in the handshake") << QStringLiteral("stalling") << QByteArray("no answer") << 8000;
}

void tst_LockctlTools::sendWithoutBusFails()
{
    QFETCH(QString, bus);
    QFETCH(QByteArray, said);
    QFETCH(int, withinMs);
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    if (bus == QLatin1String("none, display"))
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":97"));

    const QByteArray socketPath = QFile::encodeName(runtime.filePath(QStringLiteral("bus")));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QVERIFY(listener >= 0);
    const auto closeListener = qScopeGuard([listener] { ::close(listener); });
    if (bus == QLatin1String("silent")) {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(socketPath.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
        QVERIFY(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(::listen(listener, 8) == 0);
    }
    QProcess stallingBus;
    if (bus == QLatin1String("stalling")) {
        stallingBus.start(QStringLiteral("python3"), { QStringLiteral(STALLING_BUS), QFile::decodeName(socketPath) });
        QVERIFY(stallingBus.waitForStarted(5000));
        QTRY_VERIFY(QFile::exists(QFile::decodeName(socketPath)));
    }
    if (bus != QLatin1String("none") && bus != QLatin1String("none, display"))
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8("unix:path=" + socketPath));

    QElapsedTimer clock;
    clock.start();
    const Result result = lockctl({ "send", "EZX/System", "LCDOff" }, env);
    const qint64 elapsed = clock.elapsed();
    qInfo("figures: %s: exit %d after %lld ms", qPrintable(bus), result.code, elapsed);
    QCOMPARE(result.code, 1);
    QVERIFY2(result.err.startsWith("lockctl send: cannot reach the D-Bus session bus"), result.err.constData());
    QVERIFY2(result.err.contains(said), result.err.constData());
    QVERIFY2(elapsed < withinMs, QByteArray::number(elapsed).constData());
}

void tst_LockctlTools::previewWritesTheFrame()
{
    AppFolder folder;
    folder.writeClassic();
    const QString plain = folder.path() + "/plain.png";
    const QString armed = folder.path() + "/armed.png";
    const Result first = lockctl({ "preview", "--app-dir", folder.path(), "--at", "2026-03-07 09:41:27", "-o", plain });
    QCOMPARE(first.code, 0);
    QCOMPARE(first.out, "wrote " + plain.toUtf8() + "\n");
    QCOMPARE(lockctl({ "preview", "--app-dir", folder.path(), "--at", "2026-03-07 09:41:27", "--armed", "-o", armed }).code, 0);

    const QImage plainImage(plain);
    const QImage armedImage(armed);
    QCOMPARE(plainImage.size(), QSize(240, 320));
    // Only the hint line differs between the two.
    QVERIFY(plainImage != armedImage);
    QCOMPARE(plainImage.copy(0, 0, 240, 290), armedImage.copy(0, 0, 240, 290));
}

void tst_LockctlTools::previewSheetHoldsTenFrames()
{
    AppFolder folder;
    folder.writeClassic();
    const QString sheet = folder.path() + "/sheet.png";
    QCOMPARE(lockctl({ "preview", "--app-dir", folder.path(), "--sheet", "--at", "2026-03-07 00:00:00", "-o", sheet }).code, 0);
    const QImage image(sheet);
    QCOMPARE(image.size(), QSize(12 + 5 * (240 + 12), 12 + 2 * (20 + 320 + 12)));

    // The first frame of the sheet is the preview of 00:00:00.
    const QString single = folder.path() + "/single.png";
    QCOMPARE(lockctl({ "preview", "--app-dir", folder.path(), "--at", "2026-03-07 00:00:00", "-o", single }).code, 0);
    QCOMPARE(image.copy(12, 12 + 20, 240, 320).convertToFormat(QImage::Format_RGB32),
             QImage(single).convertToFormat(QImage::Format_RGB32));
}

void tst_LockctlTools::previewOfAnotherSkin()
{
    AppFolder folder;
    folder.writeClassic();
    folder.writeSkin("other", "[General]\nBACKGROUND=bg.png\n");
    folder.writeImage("skin/other/bg.png", QSize(100, 50), 0x00ff00);
    const QString out = folder.path() + "/other.png";
    QCOMPARE(lockctl({ "preview", "--app-dir", folder.path(), "--skin", "other", "-o", out }).code, 0);
    const QImage image(out);
    QCOMPARE(image.size(), QSize(100, 50));
}

void tst_LockctlTools::helpOptionGivesTheHelpText_data()
{
    QTest::addColumn<QString>("subcommand");
    QTest::addColumn<QString>("option");
    for (const char* subcommand : { "send", "preview", "lunar", "check", "bridge" }) {
        for (const char* option : { "-h", "--help" })
            QTest::addRow("%s %s", subcommand, option) << subcommand << option;
    }
}

// Each subcommand answers -h and --help alone with the text "lockctl help"
// gives for it, and does nothing else.
void tst_LockctlTools::helpOptionGivesTheHelpText()
{
    QFETCH(QString, subcommand);
    QFETCH(QString, option);

    // Without a runtime folder the toolkit preview starts would warn.
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    const Result expected = lockctl({ "help", subcommand }, env);
    QCOMPARE(expected.code, 0);
    QVERIFY(expected.out.startsWith("usage: lockctl " + subcommand.toUtf8() + ' '));
    const Result result = lockctl({ subcommand, option }, env);
    QCOMPARE(result.code, 0);
    QCOMPARE(result.out, expected.out);
    QCOMPARE(result.err, QByteArray());
}

void tst_LockctlTools::exitCodes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");  // held by standard output; empty: nothing on it
    QTest::addColumn<QString>("err");  // held by standard error; empty: nothing on it

    const QString overview = QStringLiteral("usage: lockctl SUBCOMMAND [ARGS...]\n");
    const QString unknown = "lockctl: unknown subcommand 'frobnicate'\n\n" + overview;
    QTest::newRow("version") << QStringList{ "--version" } << 0 << "lockctl " LOCKCTL_EXPECTED_VERSION "\n" << "";
    QTest::newRow("--help") << QStringList{ "--help" } << 0 << overview << "";
    QTest::newRow("help") << QStringList{ "help" } << 0 << overview << "";
    QTest::newRow("help, unknown subcommand") << QStringList{ "help", "frobnicate" } << 2 << "" << unknown;
    QTest::newRow("unknown subcommand") << QStringList{ "frobnicate" } << 2 << "" << unknown;
    QTest::newRow("unknown option") << QStringList{ "--frobnicate" } << 2 << "" << "unknown subcommand '--frobnicate'";
    QTest::newRow("nothing") << QStringList{} << 2 << "" << "no subcommand given";
    QTest::newRow("help lunar") << QStringList{ "help", "lunar" } << 0 << "usage: lockctl lunar FROM [TO]\n" << "";
    // The usage line comes from the help text, on one line, with the hint.
    QTest::newRow("lunar, no date") << QStringList{ "lunar" } << 2 << ""
                                    << "expected FROM [TO], got 0 argument(s)\nusage: lockctl lunar FROM [TO]   "
                                       "(dates as YYYY-MM-DD; see lockctl help lunar)\n";
    QTest::newRow("preview, unknown option")
            << QStringList{ "preview", "--bogus" } << 2 << ""
            << "usage: lockctl preview [--app-dir DIR] [--skin NAME] [--at \"YYYY-MM-DD HH:MM:SS\"] [--armed] "
               "[--sheet] [-o FILE.png]   (see lockctl help preview)\n";
    QTest::newRow("lunar, not a calendar date") << QStringList{ "lunar", "2021-02-30" } << 2 << ""
                                                << "not a calendar date";
    QTest::newRow("lunar, TO before FROM") << QStringList{ "lunar", "2000-01-02", "2000-01-01" } << 2 << ""
                                           << "before FROM";
    QTest::newRow("bridge -h after a source") << QStringList{ "bridge", "--x11", "-h" } << 0 << "ActiveChanged(true)"
                                              << "";
    QTest::newRow("help bridge") << QStringList{ "help", "bridge" } << 0 << "delay inhibitor" << "";
    QTest::newRow("bridge, unknown option") << QStringList{ "bridge", "--wayland" } << 2 << ""
                                            << "lockctl bridge: unknown argument '--wayland'";
    QTest::newRow("bridge, stray argument") << QStringList{ "bridge", "--logind", "now" } << 2 << ""
                                            << "unknown argument 'now'";
    QTest::newRow("help send") << QStringList{ "help", "send" } << 0 << "usage: lockctl send " << "";
    QTest::newRow("help preview") << QStringList{ "help", "preview" } << 0 << "usage: lockctl preview " << "";
    QTest::newRow("send without message") << QStringList{ "send", "EZX/System" } << 2 << "" << "expected CHANNEL MESSAGE";
    QTest::newRow("send too many") << QStringList{ "send", "a", "b", "c", "d" } << 2 << "" << "expected CHANNEL MESSAGE";
    QTest::newRow("send, an option") << QStringList{ "send", "-x", "EZX/System", "LCDOff" } << 2
                                     << "" << "unknown option -x";
    QTest::newRow("send, only --") << QStringList{ "send", "--", "EZX/System" } << 2
                                   << "" << "expected CHANNEL MESSAGE";
    QTest::newRow("preview bad time") << QStringList{ "preview", "--at", "yesterday" } << 2 << "" << "is not a local time";
    QTest::newRow("preview unknown option") << QStringList{ "preview", "--colour" } << 2 << "" << "Unknown option";
    QTest::newRow("preview stray argument") << QStringList{ "preview", "extra" } << 2 << "" << "unexpected argument";
    QTest::newRow("preview sheet armed") << QStringList{ "preview", "--sheet", "--armed" } << 2 << "" << "--armed does not apply";
    QTest::newRow("preview no folder") << QStringList{ "preview", "--app-dir", "/nonexistent/lockapp" } << 2 << "" << "is not a folder";
    // The same checks of --app-dir and --skin as lockctl check.
    QTest::newRow("preview empty skin") << QStringList{ "preview", "--skin", "" } << 2 << "" << "--skin needs a skin name";
    QTest::newRow("preview skin twice") << QStringList{ "preview", "--skin", "classic", "--skin", "night" } << 2 << "" << "may be given once each";
    QTest::newRow("preview missing skin") << QStringList{ "preview", "--app-dir", QDir::tempPath(), "--skin", "no-such-skin" } << 1 << "" << "lockctl preview: there is no skin folder";
    QTest::newRow("preview no background") << QStringList{ "preview", "--app-dir", QDir::tempPath() } << 1 << "" << "no loadable background image";
}

void tst_LockctlTools::exitCodes()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const Result result = lockctl(args);
    QCOMPARE(result.code, code);
    const QString shownOut = QString::fromUtf8(result.out);
    const QString shownErr = QString::fromUtf8(result.err);
    QVERIFY2(out.isEmpty() ? shownOut.isEmpty() : shownOut.contains(out), result.out.constData());
    QVERIFY2(err.isEmpty() ? shownErr.isEmpty() : shownErr.contains(err), result.err.constData());
}

namespace {
bool isPng(const QByteArray& bytes, QSize size)
{
    return bytes.startsWith("\x89PNG\r\n\x1a\n") && QImage::fromData(bytes, "PNG").size() == size;
}
} // namespace

void tst_LockctlTools::outputFailures_data()
{
    QTest::addColumn<QString>("redirect");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("errorText");  // expected on standard error
    QTest::addColumn<bool>("pngOnStdout");

    const QByteArray full = "writing to standard output failed";
    const QByteArray closed = "standard output is closed";
    const QStringList lunar{ "lunar", "2026-01-01", "2026-12-31" };
    const QStringList check{ "check", "--app-dir", LOCKAPP_STAGE_DIR };
    const QStringList preview{ "preview", "--app-dir", LOCKAPP_STAGE_DIR, "--at", "2026-03-07 09:41:27" };
    QTest::newRow("lunar > /dev/full") << ">/dev/full" << lunar << 1 << full << false;
    QTest::newRow("lunar, stdout closed") << ">&-" << lunar << 1 << closed << false;
    QTest::newRow("check > /dev/full") << ">/dev/full" << check << 1 << full << false;
    QTest::newRow("check, stdout closed") << ">&-" << check << 1 << closed << false;
    QTest::newRow("--help > /dev/full") << ">/dev/full" << QStringList{ "--help" } << 1 << full << false;
    QTest::newRow("help check, stdout closed") << ">&-" << QStringList{ "help", "check" } << 1 << closed << false;
    QTest::newRow("preview -o - > /dev/full") << ">/dev/full" << preview + QStringList{ "-o", "-" } << 1
                                                << QByteArray("cannot write the PNG to standard output") << false;
    QTest::newRow("preview -o -, stdout closed") << ">&-" << preview + QStringList{ "-o", "-" } << 1
                                                   << QByteArray("cannot write the PNG to standard output") << false;
    // The picture on standard output, its status line on standard error.
    QTest::newRow("preview -o - into a pipe") << "" << preview + QStringList{ "-o", "-" } << 0
                                                << QByteArray("wrote the PNG to standard output") << true;
    QTest::newRow("preview -o /dev/stdout into a pipe") << "" << preview + QStringList{ "-o", "/dev/stdout" } << 0
                                                          << QByteArray("wrote the PNG to standard output") << true;
    QTest::newRow("preview --sheet -o - into a pipe") << "" << preview + QStringList{ "--sheet", "-o", "-" } << 0
                                                        << QByteArray("wrote the PNG to standard output") << false;
}

void tst_LockctlTools::outputFailures()
{
    QFETCH(QString, redirect);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QByteArray, errorText);
    QFETCH(bool, pngOnStdout);

    const Result result = runLockctlRedirected(redirect, args);
    QCOMPARE(result.code, code);
    QVERIFY2(result.err.contains(errorText), result.err.constData());
    if (pngOnStdout)
        QVERIFY2(isPng(result.out, QSize(240, 320)), result.out.left(64).toHex().constData());
    else if (redirect.isEmpty())
        QVERIFY(result.out.startsWith("\x89PNG\r\n\x1a\n"));
    if (code != 0)
        QVERIFY(!result.err.contains("wrote"));
}

void tst_LockctlTools::previewIgnoresThePlatform_data()
{
    QTest::addColumn<QString>("platform");
    QTest::newRow("xcb") << "xcb";
    QTest::newRow("wayland") << "wayland";
    QTest::newRow("no such platform") << "nonesuch";
}

void tst_LockctlTools::previewIgnoresThePlatform()
{
    QFETCH(QString, platform);
    // No display to reach: the preview composes off the screen anyway.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    QTemporaryDir dir;
    const QString out = dir.path() + "/frame.png";
    const Result result = lockctl({ "preview", "--app-dir", LOCKAPP_STAGE_DIR, "-o", out }, env);
    QCOMPARE(result.code, 0);
    QCOMPARE(QImage(out).size(), QSize(240, 320));
}

void tst_LockctlTools::sheetSaysWhenATimeWasMoved()
{
    // In Sao Paulo the clocks went from 2018-11-04 00:00 straight to 01:00.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("America/Sao_Paulo"));
    QTemporaryDir dir;
    const QString sheet = dir.path() + "/sheet.png";
    const QString single = dir.path() + "/single.png";
    const Result sheetRun = lockctl({ "preview", "--app-dir", LOCKAPP_STAGE_DIR, "--sheet", "--at", "2018-11-04 00:00:00",
                                      "-o", sheet }, env);
    QCOMPARE(sheetRun.code, 0);
    QVERIFY2(sheetRun.err.contains("2018-11-04 00:00:00 does not exist in the local time zone; the frames marked * "
                                   "show 01:00:00"),
             sheetRun.err.constData());
    const Result singleRun = lockctl({ "preview", "--app-dir", LOCKAPP_STAGE_DIR, "--at", "2018-11-04 00:00:00",
                                       "-o", single }, env);
    QCOMPARE(singleRun.code, 0);
    QVERIFY2(singleRun.err.contains("the frame shows 2018-11-04 01:00:00"), singleRun.err.constData());
    // The sheet's first frame is the one of 01:00:00, and its label is not blank.
    const QImage image(sheet);
    QCOMPARE(image.copy(12, 12 + 20, 240, 320).convertToFormat(QImage::Format_RGB32),
             QImage(single).convertToFormat(QImage::Format_RGB32));
    const QImage label = image.copy(12, 12, 240, 20).convertToFormat(QImage::Format_RGB32);
    const QImage blank = [&] {
        QImage b(label.size(), QImage::Format_RGB32);
        b.fill(QColor(0x30, 0x30, 0x30));
        return b;
    }();
    QVERIFY(label != blank);
    // A day without a skipped moment says nothing of the kind.
    const Result plain = lockctl({ "preview", "--app-dir", LOCKAPP_STAGE_DIR, "--sheet", "--at", "2018-11-05 00:00:00",
                                   "-o", sheet }, env);
    QCOMPARE(plain.code, 0);
    QVERIFY2(!plain.err.contains("does not exist"), plain.err.constData());
}

QTEST_GUILESS_MAIN(tst_LockctlTools)
#include "tst_lockctl_tools.moc"
