// When diagnostic lines reach standard output: each at once, or a batch's
// all together when the outermost batch ends; how a sink is replaced for a
// while; how names from outside are made safe; and what happens when the
// output cannot take the lines (a reader that is gone, a full device, a
// reader that does not read).
#include "common/stdoutcapture.h"

#include "platform/diagnostics.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

class tst_Diagnostics : public QObject
{
    Q_OBJECT
private slots:
    // As in lockapp: a reader that went away costs lines, not the process
    // (set here, after the test library has put in its own handlers).
    void initTestCase() { QVERIFY(std::signal(SIGPIPE, SIG_IGN) != SIG_ERR); }
    void lineIsWrittenAtOnce();
    void batchWritesItsLinesWhenItEnds();
    void silencedLinesAreNotWritten();
    void scopedSinksNestAndRestore();
    void namesAreEscaped_data();
    void namesAreEscaped();
    void outputThatCannotTake_data();
    void outputThatCannotTake();
    void slowReaderGetsTheBacklogLater();
    void blockingOutputIsNeverWaitedFor_data();
    void blockingOutputIsNeverWaitedFor();
};

namespace {
// Two connected descriptors, closed with the object: what lines are written
// to and where the test reads them back (without waiting). By default a pipe
// that never blocks; of a kind ("pipe", "socket", "terminal"), one whose
// writing end blocks, as a shell or a service manager hands out standard
// output.
struct Output
{
    int read = -1;
    int write = -1;
    Output()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    explicit Output(const QString& kind)
    {
        int fds[2] = { -1, -1 };
        bool made = false;
        if (kind == QLatin1String("pipe")) {
            made = ::pipe2(fds, O_CLOEXEC) == 0;
        } else if (kind == QLatin1String("socket")) {
            made = ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0;
            const int small = 4096;
            if (made)
                ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        } else if (kind == QLatin1String("terminal")) {
            termios raw;
            ::cfmakeraw(&raw);
            made = ::openpty(&fds[0], &fds[1], nullptr, &raw, nullptr) == 0;
        }
        if (made) {
            read = fds[0];
            write = fds[1];
            // Only the reading end: each end is an open file of its own.
            ::fcntl(read, F_SETFL, ::fcntl(read, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Output()
    {
        closeRead();
        if (write >= 0)
            ::close(write);
    }
    void closeRead()
    {
        if (read >= 0)
            ::close(read);
        read = -1;
    }
    QByteArray drain() const
    {
        QByteArray all;
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(read, buffer, sizeof buffer)) > 0)
            all.append(buffer, n);
        return all;
    }
};
} // namespace

void tst_Diagnostics::lineIsWrittenAtOnce()
{
    StdoutCapture out;
    writeDiagnostic("\nLCDOff\n");
    QCOMPARE(out.takeWritten(), QByteArray("\nLCDOff\n"));
    writeDiagnostic(QByteArray("keyCode:42\n"));
    QCOMPARE(out.takeWritten(), QByteArray("keyCode:42\n"));
}

void tst_Diagnostics::batchWritesItsLinesWhenItEnds()
{
    StdoutCapture out;
    {
        const DiagnosticBatch frame;
        writeDiagnostic("\npaint\n");
        QCOMPARE(out.takeWritten(), QByteArray());
        {
            const DiagnosticBatch inner;
            writeDiagnostic("\nlen:21\n");
        }
        QCOMPARE(out.takeWritten(), QByteArray());
        writeDiagnostic("\npaint over\n");
        QCOMPARE(out.takeWritten(), QByteArray());
    }
    QCOMPARE(out.takeWritten(), QByteArray("\npaint\n\nlen:21\n\npaint over\n"));
    // And lines after the batch are written at once again.
    writeDiagnostic("\nLCDOn\n");
    QCOMPARE(out.takeWritten(), QByteArray("\nLCDOn\n"));
}

void tst_Diagnostics::silencedLinesAreNotWritten()
{
    StdoutCapture out;
    {
        const SilencedDiagnostics silenced;
        {
            const DiagnosticBatch frame;
            writeDiagnostic("\npaint\n");
        }
        writeDiagnostic("\nLCDOff\n");
    }
    QCOMPARE(out.take(), QByteArray());
    writeDiagnostic("\nLCDOn\n");
    QCOMPARE(out.take(), QByteArray("\nLCDOn\n"));
}

void tst_Diagnostics::scopedSinksNestAndRestore()
{
    StdoutCapture out;
    CapturingDiagnosticSink outer;
    CapturingDiagnosticSink inner;
    {
        const ScopedDiagnosticSink outerGuard(outer);
        writeDiagnostic("\none\n");
        {
            const ScopedDiagnosticSink innerGuard(inner);
            const DiagnosticBatch frame;
            writeDiagnostic("\ntwo\n");
            writeWarning("warning: inner\n");
        }
        writeDiagnostic("\nthree\n");
    }
    writeDiagnostic("\nfour\n");
    QCOMPARE(outer.lines, QByteArray("\none\n\nthree\n"));
    QCOMPARE(inner.lines, QByteArray("\ntwo\n"));
    QCOMPARE(inner.warnings, QByteArray("warning: inner\n"));
    QCOMPARE(out.take(), QByteArray("\nfour\n"));
}

void tst_Diagnostics::namesAreEscaped_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("plain") << QByteArray("LCDOff2") << QByteArray("LCDOff2");
    QTest::newRow("forged lines") << QByteArray("x\nLCDOff\npaint over") << QByteArray("x\\nLCDOff\\npaint over");
    QTest::newRow("return and tab") << QByteArray("a\rb\tc") << QByteArray("a\\rb\\tc");
    QTest::newRow("terminal escape") << QByteArray("\x1b[2J") << QByteArray("\\x1b[2J");
    QTest::newRow("delete and nul") << QByteArray("a\x7f", 2) + QByteArray(1, '\0') << QByteArray("a\\x7f\\x00");
    QTest::newRow("UTF-8 stays") << QByteArray("l\xc3\xa4s \xe6\x97\xa5") << QByteArray("l\xc3\xa4s \xe6\x97\xa5");
    QTest::newRow("next line (C1)") << QByteArray("a\xc2\x85" "b") << QByteArray("a\\u0085b");
    QTest::newRow("line separator") << QByteArray("a\xe2\x80\xa8" "b") << QByteArray("a\\u2028b");
    QTest::newRow("backslash stays") << QByteArray("a\\nb") << QByteArray("a\\nb");
}

void tst_Diagnostics::namesAreEscaped()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, written);
    QCOMPARE(escapedForLine(name), written);
}

void tst_Diagnostics::outputThatCannotTake_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("reader gone") << QStringLiteral("gone");
    QTest::newRow("device full") << QStringLiteral("full");
    QTest::newRow("reader never reads") << QStringLiteral("stalled");
}

// Whatever the output does, writing returns at once, memory stays bounded,
// the dropped lines are counted and said once on standard error.
void tst_Diagnostics::outputThatCannotTake()
{
    QFETCH(QString, fault);
    Output out;
    Output err;
    QVERIFY(out.write >= 0 && err.write >= 0);
    int outFd = out.write;
    int full = -1;
    if (fault == QLatin1String("gone"))
        out.closeRead();
    if (fault == QLatin1String("full")) {
        full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        QVERIFY(full >= 0);
        outFd = full;
    }
    constexpr qsizetype limit = 4096;
    const QByteArray line = "\nmsg:" + QByteArray(1000, 'x') + "\n";
    constexpr int lines = 200; // 200 KB, beyond the pipe and the backlog
    {
        StandardStreamsSink sink(outFd, err.write, limit);
        const ScopedDiagnosticSink guard(sink);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < lines; ++i)
            writeDiagnostic(line);
        QVERIFY2(clock.elapsed() < 2000, "writing blocked");
        QVERIFY(sink.backlog() <= limit);
        QVERIFY2(sink.droppedLines() > 0, "nothing was dropped");
        QVERIFY(sink.droppedLines() <= lines);
        if (fault != QLatin1String("stalled"))
            QCOMPARE(sink.droppedLines(), qint64(lines));
    }
    const QByteArray warnings = err.drain();
    QCOMPARE(warnings.count("diagnostic lines are being dropped"), 1);
    if (full >= 0)
        ::close(full);
}

// What waits in the backlog reaches the reader, in order, once it reads again
// and the event loop runs.
void tst_Diagnostics::slowReaderGetsTheBacklogLater()
{
    Output out;
    Output err;
    QVERIFY(::fcntl(out.write, F_SETPIPE_SZ, 4096) >= 0);
    StandardStreamsSink sink(out.write, err.write, 64 * 1024);
    const ScopedDiagnosticSink guard(sink);
    QByteArray expected;
    for (int i = 0; i < 20; ++i) {
        const QByteArray line = "\nline " + QByteArray::number(i) + ' ' + QByteArray(500, 'y') + "\n";
        writeDiagnostic(line);
        expected += line;
    }
    QVERIFY(sink.backlog() > 0);
    QByteArray seen;
    QTRY_VERIFY_WITH_TIMEOUT((seen += out.drain()).size() >= expected.size(), 5000);
    QCOMPARE(seen, expected);
    QCOMPARE(sink.backlog(), qsizetype(0));
    QCOMPARE(sink.droppedLines(), qint64(0));
    QCOMPARE(err.drain(), QByteArray());
}

void tst_Diagnostics::blockingOutputIsNeverWaitedFor_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("pipe") << QStringLiteral("pipe");
    QTest::newRow("socket") << QStringLiteral("socket");
    // A terminal takes no per-write flag; the descriptor is made
    // non-blocking for the while instead.
    QTest::newRow("terminal") << QStringLiteral("terminal");
}

// Standard output left blocking by whoever opened it, and a reader that has
// stopped reading: writing returns at once, the descriptor's flags (shared
// with the other processes writing to it) are as they were after every
// write, and once the reader reads again it gets whole lines in order, none
// lost that was not counted as dropped.
void tst_Diagnostics::blockingOutputIsNeverWaitedFor()
{
    QFETCH(QString, kind);
    Output out(kind);
    Output err;
    QVERIFY(out.read >= 0 && out.write >= 0 && err.write >= 0);
    const int flags = ::fcntl(out.write, F_GETFL);
    QVERIFY(flags >= 0 && !(flags & O_NONBLOCK));

    constexpr int lines = 300; // 300 KB, far beyond what any of them buffers
    QByteArray seen;
    {
        StandardStreamsSink sink(out.write, err.write, 16 * 1024);
        const ScopedDiagnosticSink guard(sink);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < lines; ++i) {
            writeDiagnostic("\nline " + QByteArray::number(i) + ' ' + QByteArray(1000, 'z') + "\n");
            QCOMPARE(::fcntl(out.write, F_GETFL), flags);
        }
        QVERIFY2(clock.elapsed() < 2000, "writing blocked");
        QVERIFY2(sink.droppedLines() > 0, "the output took everything: nothing was tested");
        QTRY_VERIFY_WITH_TIMEOUT((seen += out.drain(), sink.backlog() == 0), 5000);
        seen += out.drain();
        QCOMPARE(::fcntl(out.write, F_GETFL), flags);

        int last = -1;
        int arrived = 0;
        for (const QByteArray& line : seen.split('\n')) {
            if (line.isEmpty())
                continue;
            const QList<QByteArray> fields = line.split(' ');
            QCOMPARE(fields.size(), 3);
            QCOMPARE(fields[0], QByteArray("line"));
            QCOMPARE(fields[2], QByteArray(1000, 'z'));
            const int number = fields[1].toInt();
            QVERIFY2(number > last, line.left(20).constData());
            last = number;
            ++arrived;
        }
        QVERIFY2(arrived > 0, "nothing reached the reader");
        QCOMPARE(arrived + sink.droppedLines(), qint64(lines));
    }
}

LOCKAPP_TEST_MAIN_LOG_TO_STDERR(tst_Diagnostics)
#include "tst_diagnostics.moc"
