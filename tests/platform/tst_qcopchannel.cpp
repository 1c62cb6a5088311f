#include "platform/qcopchannel.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

class tst_QCopChannel : public QObject
{
    Q_OBJECT
private slots:
    void burstReachesAnotherProcessInOrder();
    void messageFromAnotherProcessArrives_data();
    void messageFromAnotherProcessArrives();
    void otherChannelsAreNotDelivered();
    void deletedSubscriptionReceivesNothing();

private:
    static QString peerPath() { return QStringLiteral(CHANNEL_PEER); }
};

void tst_QCopChannel::burstReachesAnotherProcessInOrder()
{
    constexpr int count = 1000;
    QProcess listener;
    listener.start(peerPath(), { "listen", "EZX/System", QString::number(count) });
    QVERIFY(listener.waitForStarted());
    QVERIFY(listener.waitForReadyRead(10000));
    QCOMPARE(listener.readLine(), QByteArray("ready\n"));

    for (int i = 0; i < count; ++i) {
        // Interleaved with another channel's traffic, which must not arrive.
        QVERIFY(QCopChannel::send("EZX/Other", "noise" + QByteArray::number(i)));
        QVERIFY(QCopChannel::send("EZX/System", "m" + QByteArray::number(i), QByteArray(i % 7, char(i))));
    }
    QVERIFY(listener.waitForFinished(30000));
    QCOMPARE(listener.exitCode(), 0);

    const QList<QByteArray> lines = listener.readAll().split('\n');
    QCOMPARE(lines.size(), count + 1);  // the text ends with a line end
    for (int i = 0; i < count; ++i) {
        const QByteArray expected = "m" + QByteArray::number(i) + "\t" + QByteArray(i % 7, char(i)).toHex();
        QCOMPARE(lines[i], expected);
    }
}

void tst_QCopChannel::messageFromAnotherProcessArrives_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("data");

    QTest::newRow("LCDOff") << "LCDOff" << "";
    QTest::newRow("with data") << "LCDOn" << "payload";
    QTest::newRow("percent and blanks") << "%s %n LCDOff " << "";
    QTest::newRow("non-ASCII") << QString::fromUtf8("锁屏") << QString::fromUtf8("数据");
}

void tst_QCopChannel::messageFromAnotherProcessArrives()
{
    QFETCH(QString, name);
    QFETCH(QString, data);

    QCopChannel channel("EZX/System");
    QVERIFY(channel.isConnected());
    QSignalSpy spy(&channel, &QCopChannel::received);
    QCOMPARE(QProcess::execute(peerPath(), { "send", "EZX/System", name, data }), 0);
    QTRY_COMPARE(spy.size(), 1);
    QCOMPARE(spy[0][0].toByteArray(), name.toUtf8());
    QCOMPARE(spy[0][1].toByteArray(), data.toUtf8());
}

void tst_QCopChannel::otherChannelsAreNotDelivered()
{
    QCopChannel system("EZX/System");
    QCopChannel other("EZX/system");
    QSignalSpy systemSpy(&system, &QCopChannel::received);
    QSignalSpy otherSpy(&other, &QCopChannel::received);

    QVERIFY(QCopChannel::send("EZX/system", "first"));
    QVERIFY(QCopChannel::send("EZX/System", "second"));
    QTRY_COMPARE(systemSpy.size(), 1);
    QTRY_COMPARE(otherSpy.size(), 1);
    QCOMPARE(systemSpy[0][0].toByteArray(), QByteArray("second"));
    QCOMPARE(otherSpy[0][0].toByteArray(), QByteArray("first"));
}

void tst_QCopChannel::deletedSubscriptionReceivesNothing()
{
    QObject owner;
    auto* channel = new QCopChannel("EZX/System", &owner);
    int received = 0;
    connect(channel, &QCopChannel::received, this, [&] { ++received; });
    delete channel;

    QCopChannel witness("EZX/System");
    QSignalSpy spy(&witness, &QCopChannel::received);
    QVERIFY(QCopChannel::send("EZX/System", "LCDOff"));
    QTRY_COMPARE(spy.size(), 1);
    QCOMPARE(received, 0);
}

QTEST_GUILESS_MAIN(tst_QCopChannel)
#include "tst_qcopchannel.moc"
