// The built lockapp, started from a temporary install by its absolute path.
#include "common/appfolder.h"

#include <QProcess>
#include <QTest>

#include <csignal>

class tst_Startup : public QObject
{
    Q_OBJECT
private slots:
    void startsHiddenAndEndsCleanlyOnSignal_data();
    void startsHiddenAndEndsCleanlyOnSignal();
    void startsWithoutSessionBus();

private:
    // Installs lockapp into folder, starts it there and verifies the lines
    // of its start-up.
    static void startInstalled(AppFolder& folder, QProcess& lockapp);
};

void tst_Startup::startInstalled(AppFolder& folder, QProcess& lockapp)
{
    QVERIFY(folder.installClassicLockapp());
    lockapp.start(folder.programPath(), {});
    QVERIFY(lockapp.waitForStarted());
    const QByteArray expected = "\npath=" + folder.path().toLocal8Bit() + "/\n" + "\nconfig!\n" + "pix!\n" + "\npix over!\n";
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += lockapp.readAllStandardOutput()).size() >= expected.size(), 10000);
    QCOMPARE(out, expected);
}

void tst_Startup::startsHiddenAndEndsCleanlyOnSignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void tst_Startup::startsHiddenAndEndsCleanlyOnSignal()
{
    QFETCH(int, signalNumber);
    AppFolder folder;
    QProcess lockapp;
    startInstalled(folder, lockapp);
    if (QTest::currentTestFailed())
        return;

    // Hidden: nothing is painted while nobody raises the window.
    QTest::qWait(1500);
    QCOMPARE(lockapp.readAllStandardOutput(), QByteArray());
    QCOMPARE(lockapp.state(), QProcess::Running);

    ::kill(pid_t(lockapp.processId()), signalNumber);
    QVERIFY(lockapp.waitForFinished(10000));
    QCOMPARE(lockapp.exitStatus(), QProcess::NormalExit);
    QCOMPARE(lockapp.exitCode(), 0);
}

void tst_Startup::startsWithoutSessionBus()
{
    AppFolder folder;
    QTemporaryDir runtimeDir;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    QProcess lockapp;
    lockapp.setProcessEnvironment(env);
    startInstalled(folder, lockapp);
    if (QTest::currentTestFailed())
        return;

    lockapp.terminate();
    QVERIFY(lockapp.waitForFinished(10000));
    QCOMPARE(lockapp.exitCode(), 0);
    const QByteArray err = lockapp.readAllStandardError();
    QCOMPARE(err.count("cannot reach the D-Bus session bus"), 1);
    QVERIFY2(err.contains("\"EZX/System\""), err.constData());
}

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
