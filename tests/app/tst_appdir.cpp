#include "app/appdir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_AppDir : public QObject
{
    Q_OBJECT
private slots:
    void programDirectory_data();
    void programDirectory();
    void realProgramPath_data();
    void realProgramPath();
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

// Paths into a folder laid out for each row: real/lockapp is the program,
// elsewhere/ holds links to it. "@" stands for the folder.
void tst_AppDir::realProgramPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the program itself") << "@/real/lockapp" << "@/real/lockapp";
    QTest::newRow("a link to it") << "@/elsewhere/lockapp" << "@/real/lockapp";
    QTest::newRow("a link to a link") << "@/elsewhere/again" << "@/real/lockapp";
    QTest::newRow("a relative link") << "@/elsewhere/relative" << "@/real/lockapp";
    QTest::newRow("a dangling link") << "@/elsewhere/dangling" << "@/elsewhere/dangling";
    // Found through the search path: answered from the executable, not from
    // whatever the current folder holds under that name.
    QTest::newRow("no slash") << "lockapp" << "lockapp";
}

void tst_AppDir::realProgramPath()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // canonical: the temporary folder may itself lie behind a link.
    const QString at = QDir(root.path()).canonicalPath();
    QVERIFY(QDir(at).mkpath("real") && QDir(at).mkpath("elsewhere"));
    QFile program(at + "/real/lockapp");
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.close();
    QVERIFY(QFile::link(at + "/real/lockapp", at + "/elsewhere/lockapp"));
    QVERIFY(QFile::link(at + "/elsewhere/lockapp", at + "/elsewhere/again"));
    QVERIFY(QFile::link("../real/lockapp", at + "/elsewhere/relative"));
    QVERIFY(QFile::link(at + "/real/gone", at + "/elsewhere/dangling"));
    // The current folder holds a link named like the program.
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(at + "/elsewhere"));
    const QString result = ::realProgramPath(path.replace('@', at));
    QVERIFY(QDir::setCurrent(saved));
    QCOMPARE(result, expected.replace('@', at));
}

QTEST_APPLESS_MAIN(tst_AppDir)
#include "tst_appdir.moc"
