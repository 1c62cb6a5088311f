// Tests of "lockctl lunar FROM [TO]".

#include "command.h"
#include "lockctlrun.h"
#include "lunarcommand.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

namespace {

using Result = CommandResult;

Result runLunar(const QStringList& args)
{
    return runInProcess(runLunarCommand, args);
}



} // namespace

class TestLockctlLunar : public QObject
{
    Q_OBJECT

private slots:
    void printsDates_data();
    void printsDates();
    void wholeRange();
    void usageErrors_data();
    void usageErrors();

    void binaryLunar();
    void binaryWholeRange();
};

void TestLockctlLunar::printsDates_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* tag, const char* from, const char* to, const QString& expected) {
        QStringList args{QString::fromLatin1(from)};
        if (to)
            args << QString::fromLatin1(to);
        QTest::newRow(tag) << args << expected;
    };
    row("one date", "2020-05-23", nullptr, QStringLiteral("2020-05-23\t鼠(庚子)年闰四月初一\n"));
    row("small range", "2020-05-21", "2020-05-24",
        QStringLiteral("2020-05-21\t鼠(庚子)年四月廿九\n"
                       "2020-05-22\t鼠(庚子)年四月三十\n"
                       "2020-05-23\t鼠(庚子)年闰四月初一\n"
                       "2020-05-24\t鼠(庚子)年闰四月初二\n"));
    // FROM equal to TO is one line.
    row("FROM is TO", "2008-08-08", "2008-08-08", QStringLiteral("2008-08-08\t鼠(戊子)年七月初八\n"));
    row("leap day", "2000-02-28", "2000-03-01",
        QStringLiteral("2000-02-28\t龙(庚辰)年正月廿四\n"
                       "2000-02-29\t龙(庚辰)年正月廿五\n"
                       "2000-03-01\t龙(庚辰)年正月廿六\n"));
    // 1900 and 2100 are not leap years.
    row("no leap day in 1900", "1900-02-28", "1900-03-01",
        QStringLiteral("1900-02-28\t鼠(庚子)年正月廿九\n"
                       "1900-03-01\t鼠(庚子)年二月初一\n"));
    row("no leap day in 2100", "2100-02-28", "2100-03-01",
        QStringLiteral("2100-02-28\t猴(庚申)年正月二十\n"
                       "2100-03-01\t猴(庚申)年正月廿一\n"));
    // The leap eleventh month of 2033: a text of 12 characters.
    row("leap month", "2033-12-22", nullptr, QStringLiteral("2033-12-22\t牛(癸丑)年闰十一月初一\n"));
    row("lower boundary", "1900-01-29", "1900-02-01",
        QStringLiteral("1900-01-29\t\n"
                       "1900-01-30\t\n"
                       "1900-01-31\t鼠(庚子)年正月初一\n"
                       "1900-02-01\t鼠(庚子)年正月初二\n"));
    row("upper boundary", "2100-12-30", "2101-01-02",
        QStringLiteral("2100-12-30\t猴(庚申)年十一月三十\n"
                       "2100-12-31\t猴(庚申)年腊月初一\n"
                       "2101-01-01\t\n"
                       "2101-01-02\t\n"));
    row("year 1", "0001-01-01", nullptr, QStringLiteral("0001-01-01\t\n"));
    row("year 9999", "9999-12-30", "9999-12-31", QStringLiteral("9999-12-30\t\n9999-12-31\t\n"));
    row("before 1900", "1899-12-31", nullptr, QStringLiteral("1899-12-31\t\n"));
}

void TestLockctlLunar::printsDates()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    const Result r = runLunar(args);
    QCOMPARE(r.code, lockctl::ExitOk);
    QCOMPARE(r.out, expected);
    QVERIFY(r.err.isEmpty());
}

void TestLockctlLunar::wholeRange()
{
    const Result r = runLunar({QStringLiteral("1900-01-31"), QStringLiteral("2100-12-31")});
    QCOMPARE(r.code, lockctl::ExitOk);
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 73384 + 1);  // the last line ends with '\n'
    QVERIFY(lines.last().isEmpty());
    for (int i = 0; i < lines.size() - 1; ++i) {
        const QString& line = lines.at(i);
        // "YYYY-MM-DD\t" and a text of 10 to 12 characters.
        if (line.size() < 21 || line.size() > 23 || line.at(10) != QLatin1Char('\t'))
            QFAIL(qPrintable(line));
    }
    QCOMPARE(lines.first(), QStringLiteral("1900-01-31\t鼠(庚子)年正月初一"));
    QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("2100-12-31\t猴(庚申)年腊月初一"));
}

void TestLockctlLunar::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    // The message quotes the date at fault: the last argument.
    const auto noSuchDate = [](const char* tag, const QStringList& args) {
        QTest::newRow(tag) << args << QStringLiteral("'%1' is not a calendar date").arg(args.last());
    };
    const auto notADate = [](const char* tag, const QString& text) {
        QTest::newRow(tag) << QStringList{text} << QStringLiteral("'%1' is not a date of the form YYYY-MM-DD").arg(text);
    };
    QTest::newRow("no argument") << QStringList{} << QStringLiteral("expected FROM [TO]");
    QTest::newRow("three arguments") << QStringList{"2020-01-01", "2020-01-02", "2020-01-03"}
                                     << QStringLiteral("expected FROM [TO]");
    noSuchDate("not a calendar date", {"2021-02-30"});
    noSuchDate("no leap day in 1900", {"1900-02-29"});
    noSuchDate("month 13", {"2020-13-01"});
    noSuchDate("month 00", {"2020-00-10"});
    noSuchDate("day 00", {"2020-05-00"});
    noSuchDate("year 0000", {"0000-01-01"});
    noSuchDate("TO not a calendar date", {"2020-01-01", "2020-04-31"});
    notADate("short fields", "2021-2-3");
    notADate("words", "yesterday");
    notADate("trailing text", "2020-05-23x");
    notADate("leading space", " 2020-05-23");
    notADate("slashes", "2020/05/23");
    notADate("sign", "-020-05-23");
    notADate("empty", "");
    notADate("non-ASCII digits", QStringLiteral("２０２０-05-23"));
    QTest::newRow("TO before FROM") << QStringList{"2020-05-23", "2020-05-22"}
                                    << QStringLiteral("TO (2020-05-22) is before FROM (2020-05-23)");
}

void TestLockctlLunar::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Result r = runLunar(args);
    QCOMPARE(r.code, lockctl::ExitUsage);
    QCOMPARE(lockctl::ExitUsage, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.startsWith(QStringLiteral("lockctl lunar: ")), qPrintable(r.err));
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("usage: lockctl lunar FROM [TO]")), qPrintable(r.err));
}

void TestLockctlLunar::binaryLunar()
{
    QVERIFY2(QFileInfo(lockctlPath()).isExecutable(), qPrintable(lockctlPath()));
    const ProcessResult r = runLockctl({QStringLiteral("lunar"), QStringLiteral("2020-05-22"), QStringLiteral("2020-05-23")});
    QCOMPARE(r.code, 0);
    // UTF-8 on standard output, whatever the locale.
    QCOMPARE(r.out, QByteArray("2020-05-22\t鼠(庚子)年四月三十\n2020-05-23\t鼠(庚子)年闰四月初一\n"));
    QVERIFY(r.err.isEmpty());
}

void TestLockctlLunar::binaryWholeRange()
{
    QElapsedTimer timer;
    timer.start();
    const ProcessResult r = runLockctl({QStringLiteral("lunar"), QStringLiteral("1900-01-31"), QStringLiteral("2100-12-31")});
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out.count('\n'), 73384);
    QVERIFY(r.out.startsWith("1900-01-31\t鼠(庚子)年正月初一\n"));
    QVERIFY(r.out.endsWith("2100-12-31\t猴(庚申)年腊月初一\n"));
    // The target is under a second on a normal build; this only logs the
    // time, since sanitizer builds and a busy CI machine are slower.
    qInfo("lockctl lunar 1900-01-31 2100-12-31: %lld ms", elapsed);
}

QTEST_GUILESS_MAIN(TestLockctlLunar)
#include "tst_lockctl_lunar.moc"
