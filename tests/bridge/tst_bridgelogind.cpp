// lockctl bridge's logind source in-process: a fake logind on a private bus
// started here, LogindSource on a connection of its own, and the messages
// it has the relay send recorded. Sleep inhibitors are pipes: one is held
// while the bridge keeps its end open.
#include "harness/headlesssession.h"

#include "bridgelog.h"
#include "bridgelogind.h"
#include "bridgerelay.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QTest>
#include <QThread>

#include <memory>
#include <poll.h>
#include <unistd.h>

namespace {
const QString Service = QStringLiteral("org.freedesktop.login1");
const QString ManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString ManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString SessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString SeatPath = QStringLiteral("/org/freedesktop/login1/seat/seat0");

QString sessionPath(const QString& id)
{
    return QStringLiteral("/org/freedesktop/login1/session/") + id;
}

// One row of ListSessions, a(susso).
struct SessionEntry
{
    QString id;
    uint uid = 0;
    QString user;
    QString seat;
    QDBusObjectPath path;
};

// A seat's ActiveSession, (so).
struct SessionReference
{
    QString id;
    QDBusObjectPath path;
};

QDBusArgument& operator<<(QDBusArgument& out, const SessionEntry& entry)
{
    out.beginStructure();
    out << entry.id << entry.uid << entry.user << entry.seat << entry.path;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SessionEntry& entry)
{
    in.beginStructure();
    in >> entry.id >> entry.uid >> entry.user >> entry.seat >> entry.path;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const SessionReference& reference)
{
    out.beginStructure();
    out << reference.id << reference.path;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SessionReference& reference)
{
    in.beginStructure();
    in >> reference.id >> reference.path;
    in.endStructure();
    return in;
}
} // namespace

Q_DECLARE_METATYPE(SessionEntry)
Q_DECLARE_METATYPE(SessionReference)

namespace {
int nextConnection = 0;

QDBusConnection connectTo(const std::string& address, const QString& role)
{
    return QDBusConnection::connectToBus(QString::fromStdString(address),
                                         role + QString::number(++nextConnection));
}

// Has every message `from` sent so far reached `to` and been handed to its
// receivers: a round trip from `to` to `from` is answered after them. The
// answers' copies of inhibitor descriptors go with their calls, deleted
// later, as in the bridge's own event loop.
void sync(const QDBusConnection& to, const QDBusConnection& from)
{
    QDBusMessage ping = QDBusMessage::createMethodCall(from.baseService(), QStringLiteral("/"),
                                                       QStringLiteral("org.freedesktop.DBus.Peer"),
                                                       QStringLiteral("Ping"));
    QDBusConnection(to).call(ping, QDBus::Block, 5000);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// What LogindSource asks of logind: GetSession, ListSessions, GetSeat, the
// seat's ActiveSession and Inhibit. Session "c1" is this user's, "c2"
// another user's, both on seat0, whose active session is `active`. It
// answers from a thread of its own, as the source's calls block.
class FakeLogind : public QDBusVirtualObject
{
public:
    FakeLogind(const std::string& address, const QString& active)
        : m_bus(connectTo(address, QStringLiteral("logind")))
        , m_active(active)
    {
        m_bus.registerVirtualObject(ManagerPath, this, QDBusConnection::SubPath);
        // Queued behind an owner already there, as a second logind would be.
        m_bus.interface()->registerService(Service, QDBusConnectionInterface::QueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
        m_thread.start();
        moveToThread(&m_thread);
    }
    ~FakeLogind() override
    {
        m_bus.unregisterObject(ManagerPath, QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(m_bus.name());
        m_thread.quit();
        m_thread.wait();
        for (int end : std::as_const(m_inhibitorEnds))
            ::close(end);
    }

    const QDBusConnection& bus() const { return m_bus; }
    void releaseName() { m_bus.unregisterService(Service); }

    void emitLock(const QString& session, const QVariantList& arguments = {})
    {
        QDBusMessage lock = QDBusMessage::createSignal(sessionPath(session), SessionInterface, QStringLiteral("Lock"));
        lock.setArguments(arguments);
        m_bus.send(lock);
    }
    void emitPrepareForSleep(const QVariantList& arguments)
    {
        QDBusMessage sleep = QDBusMessage::createSignal(ManagerPath, ManagerInterface,
                                                        QStringLiteral("PrepareForSleep"));
        sleep.setArguments(arguments);
        m_bus.send(sleep);
    }

    // How many of the inhibitors handed out are held: their pipes have a
    // writer still.
    int inhibitorsHeld() const
    {
        const QMutexLocker lock(&m_mutex);
        int held = 0;
        for (int end : m_inhibitorEnds) {
            pollfd watched = { end, POLLIN, 0 };
            held += ::poll(&watched, 1, 0) == 0;
        }
        return held;
    }
    int inhibitorsGiven() const
    {
        const QMutexLocker lock(&m_mutex);
        return int(m_inhibitorEnds.size());
    }

    QString introspect(const QString&) const override { return QString(); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QString method = message.member();
        const QString signature = message.signature();
        QVariantList reply;
        if (method == QLatin1String("GetSession") && signature == QLatin1String("s")) {
            const QString id = message.arguments().at(0).toString();
            if (id != QLatin1String("c1") && id != QLatin1String("c2"))
                return replyError(message, connection, QStringLiteral("org.freedesktop.login1.NoSuchSession"));
            reply << QVariant::fromValue(QDBusObjectPath(sessionPath(id)));
        } else if (method == QLatin1String("ListSessions")) {
            const QList<SessionEntry> sessions = {
                { QStringLiteral("c1"), ::getuid(), QStringLiteral("me"), QStringLiteral("seat0"),
                  QDBusObjectPath(sessionPath(QStringLiteral("c1"))) },
                { QStringLiteral("c2"), ::getuid() + 1, QStringLiteral("other"), QStringLiteral("seat0"),
                  QDBusObjectPath(sessionPath(QStringLiteral("c2"))) },
            };
            reply << QVariant::fromValue(sessions);
        } else if (method == QLatin1String("GetSeat")
                   && message.arguments().value(0).toString() == QLatin1String("seat0")) {
            reply << QVariant::fromValue(QDBusObjectPath(SeatPath));
        } else if (method == QLatin1String("Get") && message.path() == SeatPath
                   && message.arguments().value(1).toString() == QLatin1String("ActiveSession")) {
            const SessionReference active { m_active, QDBusObjectPath(sessionPath(m_active)) };
            reply << QVariant::fromValue(QDBusVariant(QVariant::fromValue(active)));
        } else if (method == QLatin1String("Inhibit") && signature == QLatin1String("ssss")
                   && message.arguments().at(0).toString() == QLatin1String("sleep")
                   && message.arguments().at(3).toString() == QLatin1String("delay")) {
            int ends[2];
            if (::pipe(ends) != 0)
                return replyError(message, connection, QStringLiteral("org.freedesktop.DBus.Error.Failed"));
            // The message holds a copy of the writing end; the taker keeps its own.
            reply << QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]));
            ::close(ends[1]);
            const QMutexLocker lock(&m_mutex);
            m_inhibitorEnds << ends[0];
        } else {
            return replyError(message, connection, QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
        }
        connection.send(message.createReply(reply));
        return true;
    }

private:
    static bool replyError(const QDBusMessage& message, const QDBusConnection& connection, const QString& name)
    {
        connection.send(message.createErrorReply(name, message.member()));
        return true;
    }

    QThread m_thread;
    QDBusConnection m_bus;
    QString m_active;
    mutable QMutex m_mutex;
    QList<int> m_inhibitorEnds;  // the reading ends of the inhibitors' pipes
};

// LogindSource as lockctl bridge runs it, on a connection of its own, with
// the messages to the lock screen recorded and its lines kept.
struct Bridge
{
    Bridge(const std::string& address, const QString& sessionId)
        : bus(connectTo(address, QStringLiteral("bridge")))
    {
        source = std::make_unique<LogindSource>(bus, sessionId, relay, log);
        QString why;
        started = source->start(&why);
    }
    ~Bridge()
    {
        source.reset();
        QDBusConnection::disconnectFromBus(bus.name());
    }

    QStringList sent;
    QString verbose;
    QString errors;
    QTextStream out { &verbose };
    QTextStream err { &errors };
    BridgeLog log { &out, err };
    DisplayRelay relay { log, [this](const QByteArray& message) {
                            sent << QString::fromLatin1(message);
                            return true;
                        } };
    QDBusConnection bus;
    std::unique_ptr<LogindSource> source;
    bool started = false;
};
} // namespace

class tst_BridgeLogind : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void signalsHeard_data();
    void signalsHeard();
    void sleepWaitsForTheLockScreen_data();
    void sleepWaitsForTheLockScreen();
    void inhibitorGoesWithTheBridge();
    void logindRestarted();
    void nameHandedToAnotherOwner();

private:
    std::unique_ptr<PrivateBus> m_bus;
};

void tst_BridgeLogind::initTestCase()
{
    qDBusRegisterMetaType<SessionEntry>();
    qDBusRegisterMetaType<QList<SessionEntry>>();
    qDBusRegisterMetaType<SessionReference>();
}

void tst_BridgeLogind::init()
{
    m_bus = std::make_unique<PrivateBus>();
}

void tst_BridgeLogind::cleanup()
{
    m_bus.reset();
}

void tst_BridgeLogind::signalsHeard_data()
{
    QTest::addColumn<QString>("sessionId");  // empty: this user's active one
    QTest::addColumn<QString>("active");     // seat0's active session
    QTest::addColumn<QString>("followed");
    QTest::addColumn<bool>("fromLogind");
    QTest::addColumn<QString>("member");
    QTest::addColumn<QString>("session");
    QTest::addColumn<QVariantList>("arguments");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("inhibitors");  // taken in all

    const QString c1 = QStringLiteral("c1");
    const QString c2 = QStringLiteral("c2");
    const QString lock = QStringLiteral("Lock");
    const QString sleep = QStringLiteral("PrepareForSleep");
    const QString followed = sessionPath(c1);
    const QStringList raised { "LCDOff", "LCDOn" };
    // Lock raises the lock screen and lets it tick; only this session's,
    // without arguments, from logind itself, counts.
    QTest::newRow("Lock, session by id") << c1 << c1 << followed << true << lock << c1 << QVariantList() << raised << 1;
    QTest::newRow("Lock of another session") << c1 << c1 << followed << true << lock << c2 << QVariantList()
                                             << QStringList() << 1;
    QTest::newRow("Lock with an argument") << c1 << c1 << followed << true << lock << c1 << QVariantList { "now" }
                                           << QStringList() << 1;
    QTest::newRow("Lock from a stranger") << c1 << c1 << followed << false << lock << c1 << QVariantList()
                                          << QStringList() << 1;
    QTest::newRow("Lock, this user's active session") << QString() << c1 << followed << true << lock << c1
                                                      << QVariantList() << raised << 1;
    QTest::newRow("Lock of another user's active session") << QString() << c2 << QString() << true << lock << c2
                                                           << QVariantList() << QStringList() << 1;
    QTest::newRow("Lock of this user's session, not active") << QString() << c2 << QString() << true << lock << c1
                                                             << QVariantList() << QStringList() << 1;
    // Sleep raises it dark; resume tells it only what changes.
    QTest::newRow("PrepareForSleep(true)") << c1 << c1 << followed << true << sleep << QString()
                                           << QVariantList { true } << QStringList { "LCDOff" } << 1;
    QTest::newRow("PrepareForSleep(false), display on") << c1 << c1 << followed << true << sleep << QString()
                                                        << QVariantList { false } << QStringList() << 2;
    QTest::newRow("PrepareForSleep with an extra argument") << c1 << c1 << followed << true << sleep << QString()
                                                            << QVariantList { true, "now" } << QStringList() << 1;
    QTest::newRow("PrepareForSleep from a stranger") << c1 << c1 << followed << false << sleep << QString()
                                                     << QVariantList { true } << QStringList() << 1;
}

void tst_BridgeLogind::signalsHeard()
{
    QFETCH(QString, sessionId);
    QFETCH(QString, active);
    QFETCH(QString, followed);
    QFETCH(bool, fromLogind);
    QFETCH(QString, member);
    QFETCH(QString, session);
    QFETCH(QVariantList, arguments);
    QFETCH(QStringList, sent);
    QFETCH(int, inhibitors);

    FakeLogind logind(m_bus->address(), active);
    Bridge bridge(m_bus->address(), sessionId);
    QVERIFY(bridge.started);
    QCOMPARE(bridge.source->sessionPath(), followed);
    QTRY_COMPARE(logind.inhibitorsHeld(), 1);

    QDBusConnection sender = fromLogind ? logind.bus() : connectTo(m_bus->address(), QStringLiteral("stranger"));
    QDBusMessage signal = QDBusMessage::createSignal(session.isEmpty() ? ManagerPath : sessionPath(session),
                                                     session.isEmpty() ? ManagerInterface : SessionInterface, member);
    signal.setArguments(arguments);
    QVERIFY(sender.send(signal));
    sync(bridge.bus, sender);
    sync(bridge.bus, logind.bus());
    QCOMPARE(bridge.sent, sent);
    // Sleep keeps its inhibitor until the lock screen says it is shown;
    // resume takes a new one.
    QTRY_COMPARE(logind.inhibitorsHeld(), 1);
    QCOMPARE(logind.inhibitorsGiven(), inhibitors);
    QCOMPARE(bridge.errors, QString());
    if (!fromLogind)
        QDBusConnection::disconnectFromBus(sender.name());
}

void tst_BridgeLogind::sleepWaitsForTheLockScreen_data()
{
    QTest::addColumn<bool>("shownBefore");
    QTest::addColumn<bool>("shownAfter");
    QTest::newRow("shown already: released at once") << true << false;
    QTest::newRow("shown after LCDOff: released then") << false << true;
    QTest::newRow("no word: released after the wait") << false << false;
}

void tst_BridgeLogind::sleepWaitsForTheLockScreen()
{
    QFETCH(bool, shownBefore);
    QFETCH(bool, shownAfter);

    FakeLogind logind(m_bus->address(), QStringLiteral("c1"));
    Bridge bridge(m_bus->address(), QStringLiteral("c1"));
    QTRY_COMPARE(logind.inhibitorsHeld(), 1);
    if (shownBefore)
        bridge.relay.lockScreenShownChanged(QStringLiteral("test"), QStringLiteral("shown"), true);

    logind.emitPrepareForSleep({ true });
    sync(bridge.bus, logind.bus());
    QCOMPARE(bridge.sent, QStringList { "LCDOff" });
    if (shownBefore) {
        QTRY_COMPARE(logind.inhibitorsHeld(), 0);
    } else if (shownAfter) {
        QCOMPARE(logind.inhibitorsHeld(), 1);
        bridge.relay.lockScreenShownChanged(QStringLiteral("test"), QStringLiteral("shown"), true);
        QTRY_COMPARE(logind.inhibitorsHeld(), 0);
        QVERIFY2(bridge.verbose.contains("logind: the lock screen is shown -> sleep inhibitor released\n"),
                 qPrintable(bridge.verbose));
    } else {
        QTest::qWait(LogindSource::ShownWaitMs - 500);
        QCOMPARE(logind.inhibitorsHeld(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(logind.inhibitorsHeld(), 0, 2000);
        QVERIFY2(bridge.verbose.contains("logind: no word from the lock screen within 3000 ms -> sleep inhibitor "
                                         "released\n"),
                 qPrintable(bridge.verbose));
    }

    // Resume: the display is on again, and a new inhibitor is taken.
    logind.emitPrepareForSleep({ false });
    sync(bridge.bus, logind.bus());
    QCOMPARE(bridge.sent, (QStringList { "LCDOff", "LCDOn" }));
    QTRY_COMPARE(logind.inhibitorsHeld(), 1);
    QCOMPARE(logind.inhibitorsGiven(), 2);
    QCOMPARE(bridge.errors, QString());
}

void tst_BridgeLogind::inhibitorGoesWithTheBridge()
{
    FakeLogind logind(m_bus->address(), QStringLiteral("c1"));
    {
        Bridge bridge(m_bus->address(), QStringLiteral("c1"));
        QTRY_COMPARE(logind.inhibitorsHeld(), 1);
    }
    QTRY_COMPARE(logind.inhibitorsHeld(), 0);
}

void tst_BridgeLogind::logindRestarted()
{
    Bridge bridge(m_bus->address(), QStringLiteral("c1"));
    {
        FakeLogind first(m_bus->address(), QStringLiteral("c1"));
        QTRY_COMPARE(first.inhibitorsHeld(), 1);
    }
    QTRY_VERIFY2(bridge.verbose.contains("logind: org.freedesktop.login1 vanished -> waiting for it\n"),
                 qPrintable(bridge.verbose));
    QCOMPARE(bridge.source->sessionPath(), QString());

    FakeLogind second(m_bus->address(), QStringLiteral("c1"));
    QTRY_COMPARE(second.inhibitorsHeld(), 1);
    QCOMPARE(bridge.source->sessionPath(), sessionPath(QStringLiteral("c1")));
    second.emitLock(QStringLiteral("c1"));
    sync(bridge.bus, second.bus());
    QCOMPARE(bridge.sent, (QStringList { "LCDOff", "LCDOn" }));
    QCOMPARE(bridge.errors, QString());
}

// The name passes to another connection: from then on only the new owner's
// signals count, and the inhibitor is the new owner's.
void tst_BridgeLogind::nameHandedToAnotherOwner()
{
    FakeLogind first(m_bus->address(), QStringLiteral("c1"));
    FakeLogind second(m_bus->address(), QStringLiteral("c1"));
    Bridge bridge(m_bus->address(), QStringLiteral("c1"));
    QTRY_COMPARE(first.inhibitorsHeld(), 1);

    first.releaseName();
    QTRY_COMPARE(second.inhibitorsHeld(), 1);
    QTRY_COMPARE(first.inhibitorsHeld(), 0);
    first.emitLock(QStringLiteral("c1"));
    sync(bridge.bus, first.bus());
    QCOMPARE(bridge.sent, QStringList());
    second.emitLock(QStringLiteral("c1"));
    sync(bridge.bus, second.bus());
    QCOMPARE(bridge.sent, (QStringList { "LCDOff", "LCDOn" }));
}

QTEST_GUILESS_MAIN(tst_BridgeLogind)
#include "tst_bridgelogind.moc"
