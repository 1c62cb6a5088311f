// Floods: 10,000 channel messages sent in a burst by another process, and
// 10,000 key presses. Every message and key is written out once, in order;
// the state afterwards is what the last ones say; the window then still
// raises and paints in time, and memory stays bounded.
#include "common/lockwindowfixture.h"
#include "common/stdoutcapture.h"
#include "lockdriver.h"

#include "app/quelview.h"
#include "common/quelviewaccess.h"

#include <QApplication>
#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTest>

#include <memory>

namespace {

constexpr int FloodSize = 10000;
constexpr int DeliveryBoundMs = 30000;   // all 10,000 messages through the bus and written out
constexpr int KeyBurstBoundMs = 5000;    // 10,000 key presses handled
constexpr int RaiseBoundMs = 1000;       // "LCDOff" until its frame is complete, after a flood
constexpr int TimerStallBoundMs = 500;   // the pile of unlock time-outs firing at once
constexpr qint64 PendingTimersBoundKb = 16 * 1024;
constexpr qint64 RetainedBoundKb = 2 * 1024;   // once the time-outs have fired
constexpr qint64 BurstResidentBoundKb = 8 * 1024;
constexpr int TimeOut = 3000;

struct Message
{
    QByteArray channel;
    QByteArray name;
};

// The window's lines, without frames and lunar lines: what messages and keys wrote.
QByteArrayList eventLines(const QByteArray& out)
{
    QByteArrayList lines;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty() || line == "paint" || line == "paint over" || line.startsWith("len:"))
            continue;
        lines << line;
    }
    return lines;
}

// The first line where two lists differ, for the failure message.
QByteArray firstDifference(const QByteArrayList& actual, const QByteArrayList& expected)
{
    for (qsizetype i = 0; i < qMax(actual.size(), expected.size()); ++i) {
        const QByteArray a = actual.value(i, "<none>");
        const QByteArray e = expected.value(i, "<none>");
        if (a != e)
            return "line " + QByteArray::number(i + 1) + ": \"" + a.left(80) + "\", expected \"" + e.left(80) + "\"";
    }
    return {};
}

// Dismisses a raised window with the middle key then the star key, so that a
// lock cycle can start from the hidden window.
void unlock(quelView& view)
{
    if (!view.isVisible())
        return;
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::keyClick(&view, Qt::Key_Asterisk);
    QVERIFY(!view.isVisible());
}

} // namespace

Q_DECLARE_METATYPE(Message)

class tst_Flood : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void messageBurst_data();
    void messageBurst();
    void keyBurst_data();
    void keyBurst();

private:
    static std::unique_ptr<LockWindowFixture> open()
    {
        auto window = std::make_unique<LockWindowFixture>();
        window->openClassic("[General]\nSkin=classic\nTimeOut=" + QByteArray::number(TimeOut) + "\n");
        return window;
    }
};

void tst_Flood::initTestCase()
{
    QVERIFY(QFile::exists(QStringLiteral(FLOOD_SENDER)));
    // Fonts and caches: a first frame takes them out of the figures.
    auto window = open();
    CycleFigures figures;
    verifyLockCycle(window->view(), window->out(), &figures);
}

void tst_Flood::messageBurst_data()
{
    QTest::addColumn<QList<Message>>("messages");

    const QByteArray system = "EZX/System";
    // Near misses and odd names are other messages: written out, no effect.
    const QByteArrayList others = { "lcdoff", "LcdOn", "LCDOff ", " LCDOn", "LCDO", "", "%s%n%d", "msg:LCDOff",
                                    "\xe9\x94\x81\xe5\xb1\x8f", "PowerKey", "x" };
    const auto mixed = [&](quint32 seed, int lcdPercent, const QByteArray& last, int nameLength) {
        QRandomGenerator random(seed);
        QList<Message> messages;
        for (int i = 0; i < FloodSize - 1; ++i) {
            const int pick = int(random.bounded(100));
            if (pick < lcdPercent / 2)
                messages.append({ system, "LCDOn" });
            else if (pick < lcdPercent)
                messages.append({ system, "LCDOff" });
            else if (nameLength > 0)
                messages.append({ system, "N" + QByteArray::number(i).rightJustified(nameLength - 1, '.') });
            else
                messages.append({ system, others[int(random.bounded(others.size()))] + QByteArray::number(i) });
        }
        messages.append({ system, last });
        return messages;
    };

    QTest::newRow("mixed, ending with LCDOff") << mixed(1, 60, "LCDOff", 0);
    QTest::newRow("mixed, ending with LCDOn") << mixed(2, 60, "LCDOn", 0);
    QTest::newRow("mostly LCD messages") << mixed(3, 98, "LCDOn", 0);
    QTest::newRow("no LCD message") << mixed(4, 0, "PowerKey", 0);
    QTest::newRow("names of 1000 bytes") << mixed(5, 20, "LCDOff", 1000);

    // Half the burst on other channels: none of it may arrive.
    QList<Message> interleaved = mixed(6, 60, "LCDOn", 0);
    const QByteArrayList channels = { "EZX/Other", "ezx/system", "EZX/System ", "EZX/System/Sub" };
    QRandomGenerator random(7);
    for (int i = 0; i < FloodSize; i += 2)
        interleaved[i].channel = channels[int(random.bounded(channels.size()))];
    QTest::newRow("other channels interleaved") << interleaved;
}

void tst_Flood::messageBurst()
{
    QFETCH(QList<Message>, messages);

    auto window = open();
    QuelViewAccess access(window->view());

    QByteArray listing;
    QByteArrayList expected;
    bool lcdOn = true;
    bool shown = false;
    for (const Message& message : messages) {
        listing += message.channel + '\t' + message.name + '\n';
        if (message.channel != "EZX/System")
            continue;
        if (message.name == "LCDOn") {
            expected << "LCDOn";
            lcdOn = true;
        } else if (message.name == "LCDOff") {
            expected << "LCDOff";
            lcdOn = false;
            shown = true;
        } else {
            expected << "msg:" + message.name;
        }
    }
    QTemporaryFile list;
    QVERIFY(list.open());
    list.write(listing);
    list.flush();

    releaseFreeHeap();
    const qint64 residentBefore = statusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    QProcess sender;
    sender.start(QStringLiteral(FLOOD_SENDER), { list.fileName() });
    QVERIFY(sender.waitForStarted());
    // The window handles messages while the sender is still sending.
    QByteArray out;
    QDeadlineTimer deadline(DeliveryBoundMs * slowdownFactor());
    qint64 sentMs = -1;
    while (eventLines(out).size() < expected.size() && !deadline.hasExpired()) {
        QTest::qWait(20);
        out += window->out().take();
        if (sentMs < 0 && sender.state() == QProcess::NotRunning)
            sentMs = timer.elapsed();
    }
    const qint64 deliveredMs = timer.elapsed();
    // (waitForFinished() is false for a process already seen ending.)
    const bool finished = sender.state() == QProcess::NotRunning || sender.waitForFinished(10000);
    QVERIFY2(finished, qPrintable(QStringLiteral("the sender did not end; %1 of %2 lines after %3 ms; its error output: %4")
                                      .arg(eventLines(out).size()).arg(expected.size()).arg(deliveredMs)
                                      .arg(QString::fromLocal8Bit(sender.readAllStandardError()))));
    if (sentMs < 0)
        sentMs = timer.elapsed();
    QCOMPARE(sender.exitCode(), 0);
    QCOMPARE(sender.readAllStandardOutput().trimmed(), QByteArray::number(messages.size()));
    // Anything late or doubled would show up now.
    QTest::qWait(200);
    out += window->out().take();
    const int frames = countLines(out, "paint over");
    QCOMPARE(countLines(out, "paint"), frames);
    {
        const QByteArrayList actual = eventLines(out);
        qInfo("figures: %s: %lld messages sent in %lld ms, %lld written out after %lld ms, %d frames",
              QTest::currentDataTag(), qint64(messages.size()), sentMs, qint64(actual.size()), deliveredMs, frames);
        QVERIFY2(actual == expected, firstDifference(actual, expected).constData());
    }
    // The test's own copy of the output goes before memory is measured.
    out = QByteArray();
    releaseFreeHeap();
    const qint64 residentGrowth = statusKb("VmRSS") - residentBefore;
    qInfo("figures: %s: resident %+lld kB", QTest::currentDataTag(), residentGrowth);

    QCOMPARE(access.lcdOn(), lcdOn);
    QCOMPARE(access.shown(), shown);
    QCOMPARE(window->view().isVisible(), shown);
    QCOMPARE(access.unlockArmed(), false);
    if (memoryBoundsApply())
        QVERIFY2(residentGrowth < BurstResidentBoundKb, "resident memory grew during the burst");

    // Still a working lock screen.
    unlock(window->view());
    CycleFigures figures;
    verifyLockCycle(window->view(), window->out(), &figures);
    QVERIFY2(figures.raiseMs < RaiseBoundMs * slowdownFactor(), "raising took too long after the burst");
}

void tst_Flood::keyBurst_data()
{
    QTest::addColumn<bool>("displayOn");
    QTest::addColumn<int>("returnPercent");
    // Events (paints, timers) are processed after every so many keys; 0: never.
    QTest::addColumn<int>("processEvery");

    QTest::newRow("display on, mixed, one burst") << true << 50 << 0;
    QTest::newRow("display on, mixed, paced") << true << 50 << 20;
    QTest::newRow("display off, mixed, one burst") << false << 50 << 0;
    QTest::newRow("display on, middle key only") << true << 100 << 0;
    QTest::newRow("display on, star key only") << true << 0 << 0;
}

void tst_Flood::keyBurst()
{
    QFETCH(bool, displayOn);
    QFETCH(int, returnPercent);
    QFETCH(int, processEvery);

    auto window = open();
    quelView& view = window->view();
    QuelViewAccess access(view);
    QVERIFY(sendToChannel("LCDOff"));
    if (displayOn)
        QVERIFY(sendToChannel("LCDOn"));
    QByteArray seen;
    QVERIFY(window->out().waitFor("\npaint over\n", &seen));
    QTest::qWait(50);
    window->out().take();

    // Everything the test needs is made before the burst: test data
    // allocated between the time-outs would keep their freed memory from
    // going back to the system, and look like the window's.
    QRandomGenerator random(11);
    QList<bool> isReturn;
    QByteArrayList expected;
    // The state while no time-out has fired: armed from the first middle key
    // on, and hidden by any star key after it.
    bool armed = false;
    bool shown = true;
    for (int i = 0; i < FloodSize; ++i) {
        isReturn << (int(random.bounded(100)) < returnPercent);
        expected << (isReturn[i] ? "keyCode:4100" : "keyCode:42");
        if (isReturn[i])
            armed = true;
        else if (armed)
            shown = false;
    }
    const int timeOuts = int(isReturn.count(true));

    releaseFreeHeap();
    const qint64 residentBefore = statusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < FloodSize; ++i) {
        QTest::keyClick(&view, isReturn[i] ? Qt::Key_Return : Qt::Key_Asterisk);
        if (processEvery > 0 && i % processEvery == processEvery - 1)
            QCoreApplication::processEvents();
    }
    const qint64 burstMs = timer.elapsed();
    releaseFreeHeap();
    const qint64 pendingKb = statusKb("VmRSS") - residentBefore;
    QVERIFY2(burstMs < KeyBurstBoundMs * slowdownFactor(), "10,000 key presses took too long");
    // With no time-out fired yet, the flags follow the keys alone.
    if (burstMs < TimeOut) {
        QCOMPARE(access.unlockArmed(), armed);
        QCOMPARE(access.shown(), shown);
        QCOMPARE(view.isVisible(), shown);
    }

    // Responsive while the time-outs are pending: "LCDOff" raises a hidden
    // window, "LCDOn" repaints a raised one; a frame follows at once.
    timer.restart();
    QVERIFY(sendToChannel("LCDOff"));
    QVERIFY(sendToChannel("LCDOn"));
    seen.clear();
    QVERIFY2(window->out().waitFor("\npaint over\n", &seen), "no frame after LCDOff and LCDOn");
    const qint64 raiseMs = timer.elapsed();
    QVERIFY(view.isVisible());

    // The pile of time-outs fires within a few passes of the event loop.
    qint64 longestPassMs = 0;
    QDeadlineTimer deadline(TimeOut + 5000 * slowdownFactor());
    while (timeOuts > 0 && access.unlockArmed() && !deadline.hasExpired()) {
        QElapsedTimer pass;
        pass.start();
        QCoreApplication::processEvents();
        longestPassMs = qMax(longestPassMs, pass.elapsed());
        QTest::qSleep(1);
    }
    QVERIFY2(!access.unlockArmed(), "the unlock time-outs did not clear the armed flag");
    // Every pending time-out has fired once the last key's is due.
    while (timer.elapsed() < TimeOut + 300) {
        QElapsedTimer pass;
        pass.start();
        QCoreApplication::processEvents();
        longestPassMs = qMax(longestPassMs, pass.elapsed());
        QTest::qSleep(1);
    }
    const QByteArray out = seen + window->out().take();
    releaseFreeHeap();
    const qint64 retainedKb = statusKb("VmRSS") - residentBefore;

    qInfo("figures: %s: %d keys in %lld ms (%.1f us a key); %d time-outs pending: resident %+lld kB; "
          "frame after LCDOff+LCDOn %lld ms; longest event-loop pass while they fired %lld ms; "
          "resident once fired %+lld kB",
          QTest::currentDataTag(), FloodSize, burstMs, burstMs * 1000.0 / FloodSize, timeOuts, pendingKb, raiseMs,
          longestPassMs, retainedKb);
    // Every key line once, in order, then only the two messages.
    const QByteArrayList lines = eventLines(out);
    QVERIFY2(lines.mid(0, FloodSize) == expected, firstDifference(lines.mid(0, FloodSize), expected).constData());
    QCOMPARE(lines.mid(FloodSize), (QByteArrayList{ "LCDOff", "LCDOn" }));
    QCOMPARE(countLines(out, "paint"), countLines(out, "paint over"));
    QVERIFY2(raiseMs < RaiseBoundMs * slowdownFactor(), "the frame came too late after the key burst");
    QVERIFY2(longestPassMs < TimerStallBoundMs * slowdownFactor(), "the time-outs stalled the event loop");
    if (memoryBoundsApply()) {
        QVERIFY2(pendingKb < PendingTimersBoundKb, "the pending time-outs take too much memory");
        QVERIFY2(retainedKb < RetainedBoundKb, "memory stayed grown after the time-outs fired");
    }

    // Then a whole working cycle, from the unlocked state.
    unlock(view);
    CycleFigures figures;
    verifyLockCycle(view, window->out(), &figures);
}

LOCKAPP_TEST_MAIN_LOG_TO_STDERR(tst_Flood)
#include "tst_flood.moc"
