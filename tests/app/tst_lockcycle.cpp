// The lock cycle driven through the real window: channel messages on the
// private bus, key clicks with Qt's own keys, the unlock time-out.
#include "common/lockwindowfixture.h"
#include "common/stdoutcapture.h"
#include "common/systemmessage.h"

#include "app/quelview.h"
#include "common/quelviewaccess.h"

#include <QApplication>
#include <QTest>

#include <memory>

class tst_LockCycle : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startsHiddenAndIdle();
    void lcdOnWhileHiddenPaintsNothing();
    void lcdOffRaisesAndLcdOnTicks();
    void secondLcdOffStopsTicksWithoutHiding();
    void middleThenStarUnlocks();
    void starTooLateDoesNothing();
    void starWithoutMiddleOnlyWritesItsLine();
    void everyMiddlePressStartsItsOwnTimer();
    void unlockedButArmedWindowIsRaisedArmed();
    void unrecognisedMessages_data();
    void unrecognisedMessages();
    void lcdOnWithDataActsAsWithout();
    void otherKeysOnlyWriteTheirLine_data();
    void otherKeysOnlyWriteTheirLine();
    void nonPositiveTimeOutArmsUntilTheUnlock_data();
    void nonPositiveTimeOutArmsUntilTheUnlock();

private:
    void openWindow(const QByteArray& config);
    void send(const QCString& message, const QByteArray& data = QByteArray());
    // Everything written until `needle` has appeared (empty after 5 s without).
    QByteArray outputUntil(const QByteArray& needle);
    quelView& view() { return m_window->view(); }
    StdoutCapture& out() { return m_window->out(); }
    QuelViewAccess access() { return QuelViewAccess(view()); }

    std::unique_ptr<LockWindowFixture> m_window;
};

namespace {
constexpr int TimeOut = 600;
}

void tst_LockCycle::init()
{
    openWindow("[General]\nSkin=classic\nTimeOut=" + QByteArray::number(TimeOut) + "\n");
}

void tst_LockCycle::cleanup()
{
    m_window.reset();
}

void tst_LockCycle::openWindow(const QByteArray& config)
{
    m_window = std::make_unique<LockWindowFixture>();
    m_window->openClassic(config);
}

// Sends on the bus and waits until the window has handled it.
void tst_LockCycle::send(const QCString& message, const QByteArray& data)
{
    QVERIFY(sendToChannel(message, data));
}

QByteArray tst_LockCycle::outputUntil(const QByteArray& needle)
{
    QByteArray seen;
    return out().waitFor(needle, &seen, 1, 5000) ? seen : QByteArray();
}

void tst_LockCycle::startsHiddenAndIdle()
{
    QVERIFY(!view().isVisible());
    QCOMPARE(access().shown(), false);
    QCOMPARE(access().unlockArmed(), false);
    QCOMPARE(access().lcdOn(), true);
    QTest::qWait(1300);
    QCOMPARE(out().take(), QByteArray());
}

void tst_LockCycle::lcdOnWhileHiddenPaintsNothing()
{
    send("LCDOn");
    QCOMPARE(out().take(), QByteArray("\nLCDOn\n"));
    QTest::qWait(1300);
    QVERIFY(!view().isVisible());
    QCOMPARE(out().take(), QByteArray());
}

void tst_LockCycle::lcdOffRaisesAndLcdOnTicks()
{
    send("LCDOff");
    QVERIFY(view().isVisible());
    QCOMPARE(access().shown(), true);
    QCOMPARE(access().lcdOn(), false);
    // The first frame comes from the toolkit's paint of the shown window.
    QVERIFY(outputUntil("\npaint over\n").startsWith("\nLCDOff\n\npaint\n"));
    QTest::qWait(1300);
    QCOMPARE(out().take().count("\npaint\n"), 0);

    send("LCDOn");
    QVERIFY(outputUntil("\npaint over\n").startsWith("\nLCDOn\n\npaint\n"));
    QTest::qWait(2500);
    const QByteArray ticks = out().take();
    QVERIFY2(ticks.count("\npaint\n") >= 2 && ticks.count("\npaint\n") <= 3, ticks.constData());
    QCOMPARE(ticks.count("\npaint\n"), ticks.count("\npaint over\n"));
}

void tst_LockCycle::secondLcdOffStopsTicksWithoutHiding()
{
    send("LCDOff");
    send("LCDOn");
    send("LCDOff");
    out().take();
    QTest::qWait(1300);
    QCOMPARE(out().take().count("\npaint\n"), 0);
    QVERIFY(view().isVisible());
    QCOMPARE(access().shown(), true);
}

void tst_LockCycle::middleThenStarUnlocks()
{
    send("LCDOff");
    send("LCDOn");
    outputUntil("\npaint over\n");

    QTest::keyClick(&view(), Qt::Key_Return);
    QCOMPARE(access().unlockArmed(), true);
    // The repaint shows the second hint.
    QVERIFY(outputUntil("\npaint over\n").startsWith("keyCode:4100\n\npaint\n"));

    QTest::keyClick(&view(), Qt::Key_Asterisk);
    QCOMPARE(out().take(), QByteArray("keyCode:42\n"));
    QVERIFY(!view().isVisible());
    QCOMPARE(access().shown(), false);
    // Armed until the time-out, although unlocked.
    QCOMPARE(access().unlockArmed(), true);
    QTRY_COMPARE(access().unlockArmed(), false);
    QTest::qWait(1300);
    QCOMPARE(out().take().count("\npaint\n"), 0);
}

void tst_LockCycle::starTooLateDoesNothing()
{
    send("LCDOff");
    send("LCDOn");
    QTest::keyClick(&view(), Qt::Key_Return);
    QTest::qWait(TimeOut + 200);
    QCOMPARE(access().unlockArmed(), false);
    out().take();
    QTest::keyClick(&view(), Qt::Key_Asterisk);
    QCOMPARE(out().take(), QByteArray("keyCode:42\n"));
    QVERIFY(view().isVisible());
    QCOMPARE(access().shown(), true);
}

void tst_LockCycle::starWithoutMiddleOnlyWritesItsLine()
{
    send("LCDOff");
    outputUntil("\npaint over\n");
    QTest::keyClick(&view(), Qt::Key_Asterisk);
    QTest::qWait(50);
    QCOMPARE(out().take(), QByteArray("keyCode:42\n"));
    QVERIFY(view().isVisible());
    QCOMPARE(access().unlockArmed(), false);
}

void tst_LockCycle::everyMiddlePressStartsItsOwnTimer()
{
    send("LCDOff");
    QTest::keyClick(&view(), Qt::Key_Return);
    QTest::qWait(TimeOut * 2 / 3);
    QTest::keyClick(&view(), Qt::Key_Return);
    QCOMPARE(access().unlockArmed(), true);
    // The first press's timer clears the flag although the second press is recent.
    QTest::qWait(TimeOut / 3 + 100);
    QCOMPARE(access().unlockArmed(), false);
    QTest::keyClick(&view(), Qt::Key_Return);
    QCOMPARE(access().unlockArmed(), true);
    // ... and the second press's timer clears the third press's arming early.
    QTest::qWait(TimeOut * 2 / 3);
    QCOMPARE(access().unlockArmed(), false);
}

void tst_LockCycle::unlockedButArmedWindowIsRaisedArmed()
{
    send("LCDOff");
    QTest::keyClick(&view(), Qt::Key_Return);
    QTest::keyClick(&view(), Qt::Key_Asterisk);
    QVERIFY(!view().isVisible());
    send("LCDOff");
    QVERIFY(view().isVisible());
    QCOMPARE(access().unlockArmed(), true);
    QTest::keyClick(&view(), Qt::Key_Asterisk);
    QVERIFY(!view().isVisible());
    QCOMPARE(access().shown(), false);
}

void tst_LockCycle::unrecognisedMessages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("lower case") << QByteArray("lcdoff");
    QTest::newRow("mixed case") << QByteArray("LcdOff");
    QTest::newRow("trailing blank") << QByteArray("LCDOff ");
    QTest::newRow("leading blank") << QByteArray(" LCDOn");
    QTest::newRow("format characters") << QByteArray("%s%n%d");
    QTest::newRow("empty") << QByteArray();
}

void tst_LockCycle::unrecognisedMessages()
{
    QFETCH(QByteArray, message);
    send(message);
    QCOMPARE(out().take(), "\nmsg:" + message + "\n");
    QVERIFY(!view().isVisible());
    QCOMPARE(access().shown(), false);
    QCOMPARE(access().lcdOn(), true);
}

void tst_LockCycle::lcdOnWithDataActsAsWithout()
{
    send("LCDOff", "ignored");
    send("LCDOn", QByteArray("\0\1\2", 3));
    QCOMPARE(access().lcdOn(), true);
    QVERIFY(outputUntil("\nLCDOn\n").startsWith("\nLCDOff\n"));
}

void tst_LockCycle::otherKeysOnlyWriteTheirLine_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("letter") << int(Qt::Key_A) << QByteArray("keyCode:65\n");
    QTest::newRow("digit") << int(Qt::Key_5) << QByteArray("keyCode:53\n");
    QTest::newRow("escape") << int(Qt::Key_Escape) << QByteArray("keyCode:4096\n");
    QTest::newRow("enter") << int(Qt::Key_Enter) << QByteArray("keyCode:4101\n");
    QTest::newRow("up") << int(Qt::Key_Up) << QByteArray("keyCode:4115\n");
    QTest::newRow("hash") << int(Qt::Key_NumberSign) << QByteArray("keyCode:35\n");
}

void tst_LockCycle::otherKeysOnlyWriteTheirLine()
{
    QFETCH(int, key);
    QFETCH(QByteArray, line);
    send("LCDOff");
    out().take();
    QTest::keyClick(&view(), Qt::Key(key));
    QCOMPARE(out().take(), line);
    QVERIFY(view().isVisible());
    QCOMPARE(access().unlockArmed(), false);
}

void tst_LockCycle::nonPositiveTimeOutArmsUntilTheUnlock_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::newRow("zero") << QByteArray("[General]\nSkin=classic\nTimeOut=0\n");
    QTest::newRow("negative") << QByteArray("[General]\nSkin=classic\nTimeOut=-5\n");
    QTest::newRow("missing") << QByteArray("[General]\nSkin=classic\n");
}

void tst_LockCycle::nonPositiveTimeOutArmsUntilTheUnlock()
{
    QFETCH(QByteArray, config);
    openWindow(config);
    send("LCDOff");
    QTest::keyClick(&view(), Qt::Key_Return);
    QTest::qWait(300);
    QCOMPARE(access().unlockArmed(), true);
    QTest::keyClick(&view(), Qt::Key_Asterisk);
    QVERIFY(!view().isVisible());
    QCOMPARE(access().shown(), false);
    // The unlock disarms the key: the next lock needs both keys again.
    QCOMPARE(access().unlockArmed(), false);
    send("LCDOff");
    QTRY_VERIFY(view().isVisible());
    QTest::keyClick(&view(), Qt::Key_Asterisk);
    QVERIFY(view().isVisible());
    QCOMPARE(access().shown(), true);
    QTest::keyClick(&view(), Qt::Key_Return);
    QTest::keyClick(&view(), Qt::Key_Asterisk);
    QVERIFY(!view().isVisible());
}

LOCKAPP_TEST_MAIN_LOG_TO_STDERR(tst_LockCycle)
#include "tst_lockcycle.moc"
