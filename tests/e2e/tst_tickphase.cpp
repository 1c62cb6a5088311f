// The built lockapp under an Xvfb of its own: started at several points of a
// second and raised at them, every frame of the one-second tick is complete
// (its "paint over" line read from standard output) shortly after a second of
// the wall clock begins; and so it stays after the wall clock is moved by a
// fraction of a second under it (libfaketime, the offset changed at run time).
// Hidden, and raised with the display off, nothing wakes the process at all;
// the first frame after "LCDOn" comes at once.
#include "common/appfolder.h"
#include "harness/headlesssession.h"

#include <QFile>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer build paints several times slower.
constexpr int LateLimitMs = 300;
#else
constexpr int LateLimitMs = 150;
#endif

// Waits until the real wall clock is `phaseMs` into a second.
void waitForPhase(int phaseMs)
{
    const int into = int(wallMsAt(ProbeClock::now()) % 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds((phaseMs - into + 1000) % 1000));
}

QString libfaketime()
{
    for (const char* path : { "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1",
                              "/usr/lib/aarch64-linux-gnu/faketime/libfaketime.so.1",
                              "/usr/lib/faketime/libfaketime.so.1" }) {
        if (QFile::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    }
    return QString();
}

const std::string PaintOver = "\npaint over\n";

// lockapp's standard output as the reader thread stamped it: each "paint
// over" line at the wall clock (as lockapp sees it: shifted by the offset in
// force) when it arrived.
struct FrameLog
{
    explicit FrameLog(ChildProcess& process) : lockapp(process) { }

    bool waitFor(const std::string& text)
    {
        const auto match = lockapp.waitFor(text, mark, 10s);
        if (match)
            mark = match->end;
        return bool(match);
    }
    // The frames of the next `seconds` seconds, as ms into their second.
    QList<int> phasesOver(int seconds)
    {
        mark = lockapp.size();
        std::this_thread::sleep_for(std::chrono::milliseconds(seconds * 1000 + 100));
        QList<int> phases;
        while (const auto frame = lockapp.waitFor(PaintOver, mark, 0ms)) {
            phases.append(int((wallMsAt(frame->at) + offsetMs) % 1000));
            mark = frame->end;
        }
        return phases;
    }

    ChildProcess& lockapp;
    size_t mark = 0;
    qint64 offsetMs = 0;
};

} // namespace

class tst_TickPhase : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void framesFollowTheSecond_data();
    void framesFollowTheSecond();
    void framesFollowAShiftedClock();

private:
    std::unique_ptr<ChildProcess> start(AppFolder& folder, const std::vector<std::string>& extraEnv = {});
    // Verifies every tick frame of a few seconds lands early in its second;
    // one retry forgives a single frame held up by a busy machine.
    void verifyTicksOnTheSecond(FrameLog& log);

    std::unique_ptr<Xvfb> m_xvfb;
};

void tst_TickPhase::initTestCase()
{
    m_xvfb = std::make_unique<Xvfb>();
}

void tst_TickPhase::cleanupTestCase()
{
    m_xvfb.reset();
}

std::unique_ptr<ChildProcess> tst_TickPhase::start(AppFolder& folder, const std::vector<std::string>& extraEnv)
{
    if (!folder.installClassicLockapp())
        return nullptr;
    std::vector<std::string> env = { "QT_QPA_PLATFORM=xcb", "DISPLAY=" + m_xvfb->display() };
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    return std::make_unique<ChildProcess>(std::vector<std::string> { folder.programPath().toStdString() }, true, env);
}

void tst_TickPhase::verifyTicksOnTheSecond(FrameLog& log)
{
    constexpr int Seconds = 3;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QList<int> phases = log.phasesOver(Seconds);
        // One frame a second, give or take the window's edges (and a second
        // repaint where a frame changed more than foreseen).
        QVERIFY2(phases.size() >= Seconds - 1 && phases.size() <= 2 * Seconds + 1,
                 qPrintable(QStringLiteral("%1 frames in %2 s").arg(phases.size()).arg(Seconds)));
        int late = 0;
        QString seen;
        for (int phase : phases) {
            seen += QString::number(phase) + QLatin1Char(' ');
            if (phase > LateLimitMs)
                ++late;
        }
        if (late == 0) {
            qInfo("frames complete at ms into their second: %s", qPrintable(seen));
            return;
        }
        // A tick out of phase is late every second; a busy machine, once.
        QVERIFY2(late == 1 && attempt == 0,
                 qPrintable(QStringLiteral("frames complete at ms into their second: %1(limit %2)")
                                    .arg(seen)
                                    .arg(LateLimitMs)));
    }
}

void tst_TickPhase::framesFollowTheSecond_data()
{
    QTest::addColumn<int>("phaseMs");
    QTest::newRow("started at 0.2 s") << 200;
    QTest::newRow("started at 0.9 s") << 900;
}

void tst_TickPhase::framesFollowTheSecond()
{
    QFETCH(int, phaseMs);
    AppFolder folder;
    waitForPhase(phaseMs);
    const auto lockapp = start(folder);
    QVERIFY(lockapp);
    FrameLog log(*lockapp);
    QVERIFY(log.waitFor("\npix over!\n"));
    // A loose bound that a tick once a second would break.
    const auto verifyAsleep = [&](const char* state) {
        std::this_thread::sleep_for(500ms);
        const qint64 before = contextSwitches(lockapp->pid(), SwitchCount::AllWakeUps);
        std::this_thread::sleep_for(3s);
        const qint64 wakeUps = contextSwitches(lockapp->pid(), SwitchCount::AllWakeUps) - before;
        QVERIFY2(before >= 0 && wakeUps <= 2,
                 qPrintable(QStringLiteral("%1: %2 wake-ups in 3 s").arg(QLatin1String(state)).arg(wakeUps)));
    };
    verifyAsleep("hidden");
    if (QTest::currentTestFailed())
        return;

    // Raised, and the display switched on, at the same point of a second.
    waitForPhase(phaseMs);
    sendOverBus("LCDOff");
    QVERIFY(log.waitFor("\npaint over\n"));
    verifyAsleep("raised, display off");
    if (QTest::currentTestFailed())
        return;
    waitForPhase(phaseMs);
    sendOverBus("LCDOn");
    const auto sent = ProbeClock::now();
    QVERIFY(log.waitFor("\nLCDOn\n"));
    const auto firstFrame = lockapp->waitFor(PaintOver, log.mark, 2s);
    QVERIFY(firstFrame);
    QVERIFY2(msBetween(sent, firstFrame->at) <= LateLimitMs,
             qPrintable(QStringLiteral("the first frame came %1 ms after LCDOn").arg(msBetween(sent, firstFrame->at))));
    // The repaint LCDOn asks for comes at once; the ticks follow.
    std::this_thread::sleep_for(1200ms);
    verifyTicksOnTheSecond(log);
}

void tst_TickPhase::framesFollowAShiftedClock()
{
    const QString faketime = libfaketime();
    if (faketime.isEmpty())
        QSKIP("libfaketime is not installed");
    AppFolder folder;
    const QString offsetFile = folder.path() + QLatin1String("/faketime");
    // libfaketime reads the offset from the file at every clock reading.
    const auto writeOffset = [&](int ms) {
        QFile file(offsetFile);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                && file.write(QByteArray(ms >= 0 ? "+" : "-") + QByteArray::number(std::abs(ms) / 1000.0, 'f', 3) + '\n') > 0;
    };
    QVERIFY(writeOffset(0));
    // Only the wall clock moves, as when the clock is set; the timers run on
    // the monotonic clock.
    const std::vector<std::string> env = { "LD_PRELOAD=" + faketime.toStdString(),
                                           "FAKETIME_TIMESTAMP_FILE=" + offsetFile.toStdString(),
                                           "FAKETIME_NO_CACHE=1", "FAKETIME_DONT_FAKE_MONOTONIC=1" };

    const auto lockapp = start(folder, env);
    QVERIFY(lockapp);
    FrameLog log(*lockapp);
    QVERIFY(log.waitFor("\npix over!\n"));
    sendOverBus("LCDOff");
    QVERIFY(log.waitFor("\npaint over\n"));
    sendOverBus("LCDOn");
    QVERIFY(log.waitFor("\nLCDOn\n"));
    std::this_thread::sleep_for(1200ms);
    verifyTicksOnTheSecond(log);
    if (QTest::currentTestFailed())
        return;

    // Half-way between two ticks, the wall clock moves under the window:
    // 0.4 s forward, then 0.7 s back.
    for (const int offsetMs : { 400, -300 }) {
        waitForPhase(int((1500 - log.offsetMs) % 1000));
        QVERIFY(writeOffset(offsetMs));
        log.offsetMs = offsetMs;
        // The first tick after the move lands off the second and sets the
        // timer again; the ones after it are on the second.
        std::this_thread::sleep_for(2200ms);
        verifyTicksOnTheSecond(log);
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_GUILESS_MAIN(tst_TickPhase)
#include "tst_tickphase.moc"
