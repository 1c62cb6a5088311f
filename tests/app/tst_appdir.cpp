#include "app/appdir.h"

#include <QTest>

class tst_AppDir : public QObject
{
    Q_OBJECT
private slots:
    void programDirectory_data();
    void programDirectory();
};

void tst_AppDir::programDirectory_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("absolute") << "/opt/lock/lockapp" << "/opt/lock/";
    QTest::newRow("root") << "/lockapp" << "";
    QTest::newRow("dot") << "./lockapp" << "";
    // A relative path names the folder it starts from, not one at the root.
    QTest::newRow("relative nested") << "bin/sub/lockapp" << "bin/sub/";
    QTest::newRow("dot nested") << "./bin/lockapp" << "./bin/";
    QTest::newRow("percent kept") << "/tmp/100%/lockapp" << "/tmp/100%/";
    QTest::newRow("double slash") << "/opt//lockapp" << "/opt//";
    QTest::newRow("search path") << "lockapp" << "/usr/local/bin/";
}

void tst_AppDir::programDirectory()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(::programDirectory(path, QStringLiteral("/usr/local/bin")), expected);
}

QTEST_APPLESS_MAIN(tst_AppDir)
#include "tst_appdir.moc"
