// A channel on a bus link that loses its bus: a private dbus-daemon killed and
// started again at the same address, stopped (it accepts connections and
// never answers), or not there yet. Construction never waits much longer
// than the connect bound, and once a bus answers again the channel receives.
// A link with nothing to do wakes nothing.
#include "platform/buslink.h"
#include "platform/qcopchannel.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QFile>

#include <csignal>
#include <sys/resource.h>
#include <sys/types.h>

namespace {
// A dbus-daemon of its own at a fixed socket path.
class PrivateBus
{
public:
    explicit PrivateBus(const QString& socket) : m_socket(socket) {}
    ~PrivateBus() { stop(); }

    QByteArray address() const { return "unix:path=" + m_socket.toUtf8(); }

    bool start()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       { "--session", "--nofork", "--address=" + QString::fromUtf8(address()), "--print-address=1" });
        // The daemon prints its address once it listens.
        return m_daemon.waitForStarted(5000) && m_daemon.waitForReadyRead(5000);
    }
    void stop()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_daemon.processId()), SIGCONT);
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    void pause() { ::kill(pid_t(m_daemon.processId()), SIGSTOP); }
    void resume() { ::kill(pid_t(m_daemon.processId()), SIGCONT); }

private:
    QString m_socket;
    QProcess m_daemon;
};

// Sends one message over a connection of its own, as another client would.
bool sendFromAnotherClient(const QByteArray& address, const QCString& msg)
{
    static int serial = 0;
    const QString name = QStringLiteral("sender-%1").arg(++serial);
    bool sent = false;
    {
        const QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(address), name);
        sent = QCopChannel::send(bus, "EZX/System", msg, QByteArray());
    }
    QDBusConnection::disconnectFromBus(name);
    return sent;
}

// How often the calling thread has waited so far (each wake-up from the
// event loop's wait counts one).
qint64 threadWaits()
{
    QFile status(QStringLiteral("/proc/thread-self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray fields = status.readAll();
    const QByteArray key = "\nvoluntary_ctxt_switches:";
    const qsizetype at = fields.indexOf(key);
    if (at < 0)
        return -1;
    return fields.mid(at + key.size(), fields.indexOf('\n', at + 1) - at - key.size()).trimmed().toLongLong();
}
} // namespace

class tst_BusLink : public QObject
{
    Q_OBJECT
private slots:
    // First: no thread has ended yet whose stack the C library would keep
    // and hand to the next thread without asking for memory.
    void threadThatCannotStartIsTriedAgain();
    void channelHearsAgainOnceTheBusAnswers_data();
    void channelHearsAgainOnceTheBusAnswers();
    void noAddressTriesNothing();
    void idleLinkWakesNothing_data();
    void idleLinkWakesNothing();
};

void tst_BusLink::channelHearsAgainOnceTheBusAnswers_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("killed and started again") << QStringLiteral("restarted");
    QTest::newRow("stopped at start") << QStringLiteral("stopped");
    QTest::newRow("not there at start") << QStringLiteral("absent");
}

void tst_BusLink::channelHearsAgainOnceTheBusAnswers()
{
    QFETCH(QString, fault);
    QTemporaryDir dir;
    PrivateBus bus(dir.filePath(QStringLiteral("bus")));
    if (fault != QLatin1String("absent"))
        QVERIFY(bus.start());
    if (fault == QLatin1String("stopped"))
        bus.pause();

    QElapsedTimer clock;
    clock.start();
    BusLink link(bus.address());
    QCopChannel channel("EZX/System", nullptr, nullptr, link);
    const qint64 constructionMs = clock.elapsed();
    qInfo("figures: %s: link and channel made in %lld ms", qPrintable(fault), constructionMs);
    QVERIFY2(constructionMs < BusLink::ConnectTimeoutMs + 1500, "the connect bound was not kept");
    QSignalSpy received(&channel, &QCopChannel::received);
    QSignalSpy connected(&link, &BusLink::connected);

    if (fault == QLatin1String("restarted")) {
        QVERIFY(channel.isConnected());
        QVERIFY(sendFromAnotherClient(bus.address(), "before"));
        QTRY_COMPARE(received.size(), 1);
        QSignalSpy lost(&link, &BusLink::lost);
        bus.stop();
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);
        QVERIFY(!channel.isConnected());
        QVERIFY(bus.start());
    } else {
        QVERIFY(!channel.isConnected());
        QVERIFY(!link.lastError().isEmpty());
        if (fault == QLatin1String("stopped"))
            bus.resume();
        else
            QVERIFY(bus.start());
    }
    clock.restart();
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 8000);
    qInfo("figures: %s: connected again %lld ms after the bus answered", qPrintable(fault), clock.elapsed());
    QVERIFY(channel.isConnected());
    QVERIFY(sendFromAnotherClient(bus.address(), "after"));
    QTRY_VERIFY(!received.isEmpty() && received.last().at(0).toByteArray() == "after");
}

void tst_BusLink::noAddressTriesNothing()
{
    QElapsedTimer clock;
    clock.start();
    BusLink link{ QByteArray() };
    QVERIFY(clock.elapsed() < 500);
    QVERIFY(!link.isConnected());
    QSignalSpy connected(&link, &BusLink::connected);
    QTest::qWait(600);
    QCOMPARE(connected.size(), 0);
}

void tst_BusLink::idleLinkWakesNothing_data()
{
    QTest::addColumn<QString>("bus");
    QTest::newRow("connected") << QStringLiteral("answers");
    // Answers the first step of the handshake and then nothing: the connect
    // call never returns, and the link waits for it without looking.
    QTest::newRow("connect call stuck") << QStringLiteral("stalls");
}

void tst_BusLink::idleLinkWakesNothing()
{
    QFETCH(QString, bus);
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("bus"));
    PrivateBus daemon(socket);
    QProcess stallingBus;
    if (bus == QLatin1String("answers")) {
        QVERIFY(daemon.start());
    } else {
        stallingBus.start(QStringLiteral("python3"), { QStringLiteral(STALLING_BUS), socket });
        QVERIFY(stallingBus.waitForStarted(5000));
        QTRY_VERIFY(QFile::exists(socket));
    }
    BusLink link(daemon.address());
    QCOMPARE(link.isConnected(), bus == QLatin1String("answers"));

    const qint64 before = threadWaits();
    QVERIFY(before >= 0);
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    const qint64 wakeUps = threadWaits() - before;
    qInfo("figures: %s: %lld wake-ups of the main thread in 1 s", qPrintable(bus), wakeUps);
    // The timer that ends the second wakes it once; a poll would wake it
    // tens of times.
    QVERIFY2(wakeUps <= 4, qPrintable(QString::number(wakeUps)));
}

// With too little address space left for a thread's stack the connect
// thread cannot start: the attempt fails like an unreachable bus (the process
// goes on), and once threads start again the link connects.
void tst_BusLink::threadThatCannotStartIsTriedAgain()
{
    QTemporaryDir folder;
    PrivateBus bus(folder.filePath(QStringLiteral("bus")));
    QVERIFY(bus.start());

    QFile status(QStringLiteral("/proc/self/status"));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QByteArray fields = status.readAll();
    const qsizetype at = fields.indexOf("VmSize:");
    QVERIFY(at >= 0);
    const rlim_t inUse = rlim_t(fields.mid(at + 7, fields.indexOf('\n', at) - at - 7).trimmed().split(' ').first().toULongLong()) * 1024;
    struct rlimit saved = {};
    QVERIFY(::getrlimit(RLIMIT_AS, &saved) == 0);
    struct rlimit tight = saved;
    tight.rlim_cur = inUse + 2 * 1024 * 1024;  // less than one thread's stack
    QVERIFY(::setrlimit(RLIMIT_AS, &tight) == 0);
    std::unique_ptr<BusLink> link;
    link = std::make_unique<BusLink>(bus.address());
    QVERIFY(::setrlimit(RLIMIT_AS, &saved) == 0);
    QVERIFY(!link->isConnected());
    QVERIFY2(link->lastError().contains(QLatin1String("cannot start a thread")), qPrintable(link->lastError()));

    QSignalSpy connected(link.get(), &BusLink::connected);
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 5000);
    QVERIFY(link->isConnected());
}

QTEST_GUILESS_MAIN(tst_BusLink)
#include "tst_buslink.moc"
