// The built lockapp under an Xvfb of its own: started at several points of a
// second and raised at them, every frame of the one-second tick is complete
// (its "paint over" line read from standard output) shortly after a second of
// the wall clock begins; and so it stays after the wall clock is moved by a
// fraction of a second under it (libfaketime, the offset changed at run time).
#include "common/appfolder.h"

#include "platform/qcopchannel.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <cstdlib>
#include <ctime>
#include <memory>

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer build paints several times slower.
constexpr int LateLimitMs = 300;
#else
constexpr int LateLimitMs = 150;
#endif

qint64 realNowMs()
{
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Waits until the real wall clock is `phaseMs` into a second.
void waitForPhase(int phaseMs)
{
    const int into = int(realNowMs() % 1000);
    QTest::qSleep((phaseMs - into + 1000) % 1000);
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

// Ends the lock screen started by a test however the test ends.
struct StopProcess
{
    void operator()(QProcess* process) const
    {
        process->terminate();
        if (!process->waitForFinished(10000))
            process->kill();
        process->waitForFinished();
        delete process;
    }
};
using LockProcess = std::unique_ptr<QProcess, StopProcess>;

// lockapp's standard output, each "paint over" line stamped with the wall
// clock (as lockapp sees it: shifted by the offset in force) when it arrived.
class FrameLog : public QObject
{
public:
    explicit FrameLog(QProcess& process) : m_process(process)
    {
        connect(&process, &QProcess::readyReadStandardOutput, this, [this] { read(); });
    }
    void read()
    {
        const qint64 at = realNowMs() + offsetMs;
        m_text += m_process.readAllStandardOutput();
        for (qsizetype pos; (pos = m_text.indexOf("\npaint over\n", m_scanned)) >= 0;) {
            frames.append(at);
            m_scanned = pos + 1;
        }
    }
    bool waitFor(const QByteArray& text, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!m_text.contains(text)) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(5);
        }
        return true;
    }

    QList<qint64> frames;
    qint64 offsetMs = 0;

private:
    QProcess& m_process;
    QByteArray m_text;
    qsizetype m_scanned = 0;
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
    LockProcess start(AppFolder& folder, const QProcessEnvironment& extra = {});
    // The frames over `seconds` seconds, as milliseconds into their second;
    // empty with a failure when the ticks stop.
    QList<int> framePhases(FrameLog& log, int seconds);
    // Verifies every tick frame of a few seconds lands early in its second;
    // one retry forgives a single frame held up by a busy machine.
    void verifyTicksOnTheSecond(FrameLog& log);

    QProcess m_xvfb;
    QString m_display;
};

void tst_TickPhase::initTestCase()
{
    m_xvfb.setProgram(QStringLiteral("Xvfb"));
    m_xvfb.setArguments({ QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                          QStringLiteral("0"), QStringLiteral("240x320x24"), QStringLiteral("-nolisten"),
                          QStringLiteral("tcp") });
    m_xvfb.setStandardErrorFile(QProcess::nullDevice());
    m_xvfb.start();
    QVERIFY2(m_xvfb.waitForStarted(), "Xvfb is not installed");
    QByteArray number;
    QTRY_VERIFY_WITH_TIMEOUT((number += m_xvfb.readAllStandardOutput()).contains('\n'), 10000);
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
}

void tst_TickPhase::cleanupTestCase()
{
    m_xvfb.terminate();
    m_xvfb.waitForFinished();
}

LockProcess tst_TickPhase::start(AppFolder& folder, const QProcessEnvironment& extra)
{
    folder.writeClassic();
    if (!QFile::copy(QStringLiteral(LOCKAPP_STAGE_DIR "/lockapp"), folder.programPath()))
        return nullptr;
    QFile(folder.programPath()).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    LockProcess process(new QProcess);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), m_display);
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    process->setProcessEnvironment(env);
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(folder.programPath(), {});
    return process;
}

QList<int> tst_TickPhase::framePhases(FrameLog& log, int seconds)
{
    const qsizetype from = log.frames.size();
    QTest::qWait(seconds * 1000 + 100);
    QList<int> phases;
    for (qsizetype i = from; i < log.frames.size(); ++i)
        phases.append(int(log.frames[i] % 1000));
    return phases;
}

void tst_TickPhase::verifyTicksOnTheSecond(FrameLog& log)
{
    constexpr int Seconds = 3;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QList<int> phases = framePhases(log, Seconds);
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

    // Raised, and the display switched on, at the same point of a second.
    waitForPhase(phaseMs);
    QVERIFY(QCopChannel::send("EZX/System", "LCDOff"));
    QVERIFY(log.waitFor("\npaint over\n"));
    waitForPhase(phaseMs);
    QVERIFY(QCopChannel::send("EZX/System", "LCDOn"));
    QVERIFY(log.waitFor("\nLCDOn\n"));
    // The repaint LCDOn asks for comes at once; the ticks follow.
    QTest::qWait(1200);
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
    QProcessEnvironment env;
    env.insert(QStringLiteral("LD_PRELOAD"), faketime);
    env.insert(QStringLiteral("FAKETIME_TIMESTAMP_FILE"), offsetFile);
    env.insert(QStringLiteral("FAKETIME_NO_CACHE"), QStringLiteral("1"));
    // Only the wall clock moves, as when the clock is set; the timers run on
    // the monotonic clock.
    env.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));

    const auto lockapp = start(folder, env);
    QVERIFY(lockapp);
    FrameLog log(*lockapp);
    QVERIFY(log.waitFor("\npix over!\n"));
    QVERIFY(QCopChannel::send("EZX/System", "LCDOff"));
    QVERIFY(log.waitFor("\npaint over\n"));
    QVERIFY(QCopChannel::send("EZX/System", "LCDOn"));
    QVERIFY(log.waitFor("\nLCDOn\n"));
    QTest::qWait(1200);
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
        QTest::qWait(2200);
        verifyTicksOnTheSecond(log);
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_GUILESS_MAIN(tst_TickPhase)
#include "tst_tickphase.moc"
