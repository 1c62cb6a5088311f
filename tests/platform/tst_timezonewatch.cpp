#include "platform/timezonewatch.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <ctime>

// A zone file laid out as on a system: etc/localtime links to a file in
// zoneinfo/. The watch's reload records what the zone file holds when it is
// called, so a row sees both that it was called and that it came after the
// change.
class tst_TimeZoneWatch : public QObject
{
    Q_OBJECT

private slots:
    void readsTheZoneAgainAfterEachChange_data();
    void readsTheZoneAgainAfterEachChange();
    void followsRewritesInPlaceEveryTime();

private:
    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }
};

enum class Change { LinkReplaced, TargetRewritten, TargetReplaced, RemovedAndMadeAgain };
Q_DECLARE_METATYPE(Change)

void tst_TimeZoneWatch::readsTheZoneAgainAfterEachChange_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QByteArray>("zoneAfter");
    QTest::newRow("the zone set: link replaced") << Change::LinkReplaced << QByteArray("Berlin");
    QTest::newRow("zone data rewritten in place") << Change::TargetRewritten << QByteArray("Athens v2");
    QTest::newRow("zone data replaced by an update") << Change::TargetReplaced << QByteArray("Athens v3");
    QTest::newRow("link removed, made again") << Change::RemovedAndMadeAgain << QByteArray("Berlin");
}

void tst_TimeZoneWatch::readsTheZoneAgainAfterEachChange()
{
    QFETCH(Change, change);
    QFETCH(QByteArray, zoneAfter);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath("etc"));
    QVERIFY(QDir(root.path()).mkpath("zoneinfo"));
    const QString athens = root.filePath("zoneinfo/Athens");
    const QString berlin = root.filePath("zoneinfo/Berlin");
    const QString zoneFile = root.filePath("etc/localtime");
    write(athens, "Athens");
    write(berlin, "Berlin");
    QVERIFY(QFile::link(athens, zoneFile));

    QList<QByteArray> reads;
    TimeZoneWatch watch(zoneFile, [&] { reads << read(zoneFile); });

    switch (change) {
    case Change::LinkReplaced: {
        const QString fresh = root.filePath("etc/localtime.new");
        QVERIFY(QFile::link(berlin, fresh));
        QVERIFY(std::rename(fresh.toLocal8Bit().constData(), zoneFile.toLocal8Bit().constData()) == 0);
        break;
    }
    case Change::TargetRewritten:
        write(athens, "Athens v2");
        break;
    case Change::TargetReplaced: {
        const QString fresh = athens + ".new";
        write(fresh, "Athens v3");
        QVERIFY(std::rename(fresh.toLocal8Bit().constData(), athens.toLocal8Bit().constData()) == 0);
        break;
    }
    case Change::RemovedAndMadeAgain:
        QVERIFY(QFile::remove(zoneFile));
        QVERIFY(QFile::link(berlin, zoneFile));
        break;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!reads.isEmpty() && reads.last() == zoneAfter, 5000);

    // The watch follows the file now in place: rewriting it is seen too.
    const QString target = QFileInfo(zoneFile).symLinkTarget();
    write(target, "rewritten");
    QTRY_VERIFY_WITH_TIMEOUT(reads.last() == "rewritten", 5000);
}

// The system's zone data copied over the link's target by cp, as an update
// tool rewrites it in place, fifteen times in a row, with the watch's own
// reload: each time the C library's zone must end up as the one written. TZ
// names the private link (":PATH", a setting that spares the C library a
// check of the file at every reading), which tzset() alone never reads again.
void tst_TimeZoneWatch::followsRewritesInPlaceEveryTime()
{
    const QString athens = QStringLiteral("/usr/share/zoneinfo/Europe/Athens");
    const QString tokyo = QStringLiteral("/usr/share/zoneinfo/Asia/Tokyo");
    if (!QFileInfo::exists(athens) || !QFileInfo::exists(tokyo))
        QSKIP("the tzdata package is not installed");
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath("etc"));
    const QString target = root.filePath("zone");
    const QString zoneFile = root.filePath("etc/localtime");
    QVERIFY(QFile::copy(athens, target));
    QVERIFY(QFile::link(target, zoneFile));

    const QByteArray savedZone = qgetenv("TZ");
    const bool zoneWasSet = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", ":" + QFile::encodeName(zoneFile));
    tzset();
    const auto restoreZone = qScopeGuard([&] {
        if (zoneWasSet)
            qputenv("TZ", savedZone);
        else
            qunsetenv("TZ");
        tzset();
    });
    const auto offsetHours = [] {
        const time_t now = std::time(nullptr);
        struct tm local = {};
        localtime_r(&now, &local);
        return long(local.tm_gmtoff / 3600);
    };
    const long athensHours = offsetHours();
    QVERIFY(athensHours == 2 || athensHours == 3);

    TimeZoneWatch watch(zoneFile);
    for (int attempt = 0; attempt < 15; ++attempt) {
        const QString zone = attempt % 2 == 0 ? tokyo : athens;
        const long expectedHours = attempt % 2 == 0 ? 9 : athensHours;
        // Started, not waited for: the watch sees the rewrite while it runs.
        QProcess copy;
        copy.start(QStringLiteral("cp"), { zone, target });
        QTRY_VERIFY(copy.state() == QProcess::NotRunning);
        QCOMPARE(copy.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(offsetHours(), expectedHours, 2000);
    }
}

QTEST_GUILESS_MAIN(tst_TimeZoneWatch)
#include "tst_timezonewatch.moc"
