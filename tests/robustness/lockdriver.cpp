#include "lockdriver.h"

#include "common/stdoutcapture.h"

#include "app/quelview.h"
#include "common/quelviewaccess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define LOCKAPP_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LOCKAPP_UNDER_ASAN 1
#endif
#endif

qint64 statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool resetPeakResident()
{
    // "5" resets the peak resident size (VmHWM) to the current one.
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

void releaseFreeHeap()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

bool memoryBoundsApply()
{
#ifdef LOCKAPP_UNDER_ASAN
    return false;
#else
    return true;
#endif
}

int slowdownFactor()
{
#ifdef LOCKAPP_UNDER_ASAN
    return 5;
#else
    return 1;
#endif
}

namespace {
double elapsedMs(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}
} // namespace

void verifyLockCycle(quelView& view, StdoutCapture& out, CycleFigures* figures)
{
    QuelViewAccess access(view);
    QVERIFY2(!view.isVisible(), "a lock cycle starts from the hidden window");
    out.take();

    QElapsedTimer timer;
    timer.start();
    QVERIFY(sendToChannel("LCDOff"));
    QVERIFY(view.isVisible());
    QVERIFY(access.shown());
    QVERIFY(!access.lcdOn());
    QByteArray seen;
    QVERIFY2(out.waitFor("\npaint over\n", &seen), "no frame was painted after LCDOff");
    figures->raiseMs = elapsedMs(timer);
    QVERIFY2(seen.startsWith("\nLCDOff\n\npaint\n"), seen.left(200).constData());

    seen.clear();
    QVERIFY(sendToChannel("LCDOn"));
    QVERIFY(access.lcdOn());
    QVERIFY2(out.waitFor("\npaint over\n", &seen), "no frame was painted after LCDOn");
    QVERIFY2(seen.startsWith("\nLCDOn\n\npaint\n"), seen.left(200).constData());

    // repaint() paints at once: each call is one whole frame, composed and
    // copied to the window.
    QList<double> times;
    for (int i = 0; i < 5; ++i) {
        out.take();
        timer.restart();
        view.repaint();
        times << elapsedMs(timer);
        const QByteArray frame = out.take();
        QVERIFY2(frame.startsWith("\npaint\n") && frame.endsWith("\npaint over\n"), frame.left(200).constData());
        QCOMPARE(countLines(frame, "paint"), 1);
    }
    std::sort(times.begin(), times.end());
    figures->frameMs = times[2];

    QTest::keyClick(&view, Qt::Key_Return);
    QVERIFY(access.unlockArmed());
    timer.restart();
    view.repaint();
    figures->armedFrameMs = elapsedMs(timer);
    const QByteArray armed = out.take();
    QVERIFY2(armed.startsWith("keyCode:4100\n\npaint\n") && armed.endsWith("\npaint over\n"),
             armed.left(200).constData());

    QTest::keyClick(&view, Qt::Key_Asterisk);
    QVERIFY(!view.isVisible());
    QVERIFY(!access.shown());
    QVERIFY(out.take().startsWith("keyCode:42\n"));
}

int countLines(const QByteArray& text, const QByteArray& line)
{
    int count = 0;
    for (const QByteArray& piece : text.split('\n')) {
        if (piece == line)
            ++count;
    }
    return count;
}
