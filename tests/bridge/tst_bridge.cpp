// The bridge's decisions in-process (which messages a sequence of display
// events sends), and the overview through the built binary.
#include "../tools/lockctlrun.h"
#include "bridgecommand.h"
#include "bridgelog.h"
#include "bridgerelay.h"

#include <QTest>

class tst_Bridge : public QObject
{
    Q_OBJECT
private slots:
    void relaySendsChangesOnly_data();
    void relaySendsChangesOnly();
    void relayRetriesAfterAFailedSend();
    void relayRunsTheFollowUpAfterTheSend();
    void overviewListsTheBridge();
};

namespace {
// A bridge log writing its verbose lines and its complaints into strings.
struct CapturedLog
{
    QString verbose;
    QString errors;
    QTextStream out { &verbose };
    QTextStream err { &errors };
    BridgeLog log { &out, err };
};
// A script of events, separated by blanks: from the sources "off", "on" or
// "lock"; from the lock screen "shown", "unlocked" (Shown turned false),
// "gone" (left the bus), "back" (appeared, not shown) and "back-shown".
void play(DisplayRelay& relay, const QString& script)
{
    const QString source = QStringLiteral("test");
    for (const QString& event : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (event == QLatin1String("off"))
            relay.displayOff(source, event);
        else if (event == QLatin1String("on"))
            relay.displayOn(source, event);
        else if (event == QLatin1String("lock"))
            relay.sessionLocked(source, event);
        else if (event == QLatin1String("shown") || event == QLatin1String("unlocked"))
            relay.lockScreenShownChanged(source, event, event == QLatin1String("shown"));
        else if (event == QLatin1String("gone"))
            relay.lockScreenGone(source, event);
        else if (event == QLatin1String("back") || event == QLatin1String("back-shown"))
            relay.lockScreenAppeared(source, event, event == QLatin1String("back-shown"));
        else
            QFAIL(qPrintable("unknown event " + event));
    }
}
} // namespace

void tst_Bridge::relaySendsChangesOnly_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QStringList>("sent");

    QTest::newRow("blank, unblank") << "off on" << QStringList{ "LCDOff", "LCDOn" };
    QTest::newRow("blanks before the lock screen says it is shown each raise it")
            << "off off" << QStringList{ "LCDOff", "LCDOff" };
    QTest::newRow("a blank while shown and dark sends nothing") << "off shown off on on"
                                                                << QStringList{ "LCDOff", "LCDOn" };
    QTest::newRow("a blank while shown and ticking darkens it") << "lock shown off"
                                                                << QStringList{ "LCDOff", "LCDOn", "LCDOff" };
    QTest::newRow("an unblank first: the display was on already") << "on" << QStringList{};
    QTest::newRow("lock while on raises and lets it tick") << "lock" << QStringList{ "LCDOff", "LCDOn" };
    QTest::newRow("a lock while shown sends nothing") << "lock shown lock" << QStringList{ "LCDOff", "LCDOn" };
    QTest::newRow("a lock after the unlock raises again")
            << "lock shown unlocked lock" << QStringList{ "LCDOff", "LCDOn", "LCDOff", "LCDOn" };
    QTest::newRow("a blank that never ended, unlocked, then a lock")
            << "off shown unlocked lock" << QStringList{ "LCDOff", "LCDOff" };
    QTest::newRow("a blank that never ended, unlocked, then sleep")
            << "off shown unlocked off" << QStringList{ "LCDOff", "LCDOff" };
    QTest::newRow("lock while blanked keeps the screen dark") << "off shown lock" << QStringList{ "LCDOff" };
    QTest::newRow("lock while blanked, then unblank") << "off shown lock on" << QStringList{ "LCDOff", "LCDOn" };
    QTest::newRow("blank after a lock") << "lock shown off on" << QStringList{ "LCDOff", "LCDOn", "LCDOff", "LCDOn" };
    QTest::newRow("back after a crash while locked: raised and ticking")
            << "lock shown gone back" << QStringList{ "LCDOff", "LCDOn", "LCDOff", "LCDOn" };
    QTest::newRow("back after a crash while blanked: raised and dark")
            << "off shown gone back" << QStringList{ "LCDOff", "LCDOff" };
    QTest::newRow("back after a sleep that found it away") << "gone off back" << QStringList{ "LCDOff", "LCDOff" };
    QTest::newRow("back when not locked stays hidden") << "lock shown unlocked gone back"
                                                       << QStringList{ "LCDOff", "LCDOn" };
    QTest::newRow("back and shown already needs nothing") << "lock gone back-shown lock"
                                                          << QStringList{ "LCDOff", "LCDOn" };
}

void tst_Bridge::relaySendsChangesOnly()
{
    QFETCH(QString, events);
    QFETCH(QStringList, sent);
    CapturedLog captured;
    BridgeLog& log = captured.log;
    const QString& verbose = captured.verbose;
    const QString& errors = captured.errors;
    QStringList actual;
    DisplayRelay relay(log, [&actual](const QByteArray& message) {
        actual << QString::fromLatin1(message);
        return true;
    });
    play(relay, events);
    QCOMPARE(actual, sent);
    QCOMPARE(errors, QString());
    // One verbose line per event, whether it sent something or not.
    QCOMPARE(verbose.count(QLatin1Char('\n')), events.split(QLatin1Char(' ')).size());
}

void tst_Bridge::relayRetriesAfterAFailedSend()
{
    CapturedLog captured;
    BridgeLog& log = captured.log;
    const QString& verbose = captured.verbose;
    const QString& errors = captured.errors;
    QStringList attempts;
    bool busUp = false;
    DisplayRelay relay(log, [&](const QByteArray& message) {
        attempts << QString::fromLatin1(message);
        return busUp;
    });
    QVERIFY(!relay.displayOff(QStringLiteral("test"), QStringLiteral("blanked")));
    QVERIFY(!relay.displayOff(QStringLiteral("test"), QStringLiteral("blanked")));
    // The failure is said once, and the lock screen counts as not told.
    QCOMPARE(errors.count(QLatin1Char('\n')), 1);
    QVERIFY2(errors.contains(QLatin1String("cannot send LCDOff")), qPrintable(errors));
    QVERIFY(verbose.contains(QLatin1String("LCDOff not sent")));
    busUp = true;
    QVERIFY(relay.displayOff(QStringLiteral("test"), QStringLiteral("blanked")));
    // Once the lock screen says it is up, a blank has nothing left to do.
    relay.lockScreenShownChanged(QStringLiteral("test"), QStringLiteral("shown"), true);
    QVERIFY(relay.displayOff(QStringLiteral("test"), QStringLiteral("blanked")));
    QCOMPARE(attempts, (QStringList{ "LCDOff", "LCDOff", "LCDOff" }));
}

void tst_Bridge::relayRunsTheFollowUpAfterTheSend()
{
    CapturedLog captured;
    BridgeLog& log = captured.log;
    const QString& verbose = captured.verbose;
    QStringList order;
    DisplayRelay relay(log, [&order](const QByteArray& message) {
        order << QString::fromLatin1(message);
        return true;
    });
    relay.displayOff(QStringLiteral("logind"), QStringLiteral("PrepareForSleep(true)"), [&order](bool told) {
        order << (told ? QStringLiteral("release") : QStringLiteral("release untold"));
        return QStringLiteral("released");
    });
    // Shown and dark already: the follow-up still runs, at once.
    relay.lockScreenShownChanged(QStringLiteral("lockscreen"), QStringLiteral("ShownChanged(true)"), true);
    relay.displayOff(QStringLiteral("logind"), QStringLiteral("PrepareForSleep(true)"), [&order](bool told) {
        order << (told ? QStringLiteral("release") : QStringLiteral("release untold"));
        return QString();
    });
    QCOMPARE(order, (QStringList{ "LCDOff", "release", "release" }));
    QCOMPARE(verbose, QStringLiteral("logind: PrepareForSleep(true) -> LCDOff; released\n"
                                     "lockscreen: ShownChanged(true) -> shown\n"
                                     "logind: PrepareForSleep(true) -> nothing (the lock screen is shown)\n"));
}

void tst_Bridge::overviewListsTheBridge()
{
    const ProcessResult result = runLockctl({ "help" });
    QCOMPARE(result.code, 0);
    QVERIFY2(result.out.contains("\n  bridge    send LCDOff/LCDOn"), result.out.constData());
}

QTEST_GUILESS_MAIN(tst_Bridge)
#include "tst_bridge.moc"
