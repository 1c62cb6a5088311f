// Replays the inputs the fuzz harnesses (fuzz/) consider most dangerous, with
// the results the settings reader and the lunar conversion promise for them.
// An input that ever crashes a harness gets a row here.

#include "lunar/lunarcalendar.h"
#include "platform/inidocument.h"
#include "platform/zconfig.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <utility>

namespace {

constexpr qsizetype MaxBytes = IniDocument::MaxBytes;

// Returned for an absent key, so a found empty value cannot pass for absent.
const QString Absent = QStringLiteral("<absent>");

// One letter per parsed line, in order: Blank, Comment, Group, Entry, Ignored.
QString kindLetters(const IniDocument& doc)
{
    QString letters;
    for (const IniDocument::Line& line : doc.lines()) {
        switch (line.kind) {
        case IniDocument::LineKind::Blank: letters += u'B'; break;
        case IniDocument::LineKind::Comment: letters += u'C'; break;
        case IniDocument::LineKind::Group: letters += u'G'; break;
        case IniDocument::LineKind::Entry: letters += u'E'; break;
        case IniDocument::LineKind::Ignored: letters += u'I'; break;
        }
    }
    return letters;
}

// A file of exactly total bytes: head, then comment lines, then tail.
// commentLines receives the number of comment lines put in between.
QByteArray padded(const QByteArray& head, const QByteArray& tail, qsizetype total, qsizetype* commentLines)
{
    QByteArray out = head;
    qsizetype gap = total - head.size() - tail.size();
    Q_ASSERT(gap == 0 || gap >= 2);
    *commentLines = 0;
    while (gap > 0) {
        const qsizetype len = gap >= 128 ? 64 : gap;
        out += '#' + QByteArray(len - 2, 'x') + '\n';
        gap -= len;
        ++*commentLines;
    }
    return out + tail;
}

QString fromUtf16(const char16_t* text)
{
    return QString::fromUtf16(text);
}

} // namespace

class tst_FuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void settingsFile_data();
    void settingsFile();

    void lunarDate_data();
    void lunarDate();

private:
    QTemporaryDir m_dir;
};

void tst_FuzzRegressions::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void tst_FuzzRegressions::settingsFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("entry");   // readEntry with Absent as default
    QTest::addColumn<int>("number");      // readNumEntry with -1 as default
    QTest::addColumn<QString>("kinds");   // see kindLetters
    QTest::addColumn<bool>("truncated");

    const QString general = QStringLiteral("General");
    const QString skin = QStringLiteral("Skin");
    const QString timeOut = QStringLiteral("TimeOut");
    const QString empty = QStringLiteral("");

    // Files made of nothing but syntax characters.
    QTest::newRow("empty file") << QByteArray() << general << skin << Absent << -1 << "" << false;
    QTest::newRow("only [") << QByteArray("[") << general << skin << Absent << -1 << "I" << false;
    QTest::newRow("only ]") << QByteArray("]") << general << skin << Absent << -1 << "I" << false;
    QTest::newRow("only =") << QByteArray("=") << empty << empty << Absent << -1 << "I" << false;
    QTest::newRow("only [] names the group of keys before any group")
        << QByteArray("[]\n=v\nk=v") << empty << "k" << "v" << -1 << "GIE" << false;
    QTest::newRow("only LF") << QByteArray("\n") << general << skin << Absent << -1 << "B" << false;
    QTest::newRow("only CR, a blank line without end") << QByteArray("\r") << general << skin << Absent << -1 << "B"
                                                       << false;
    QTest::newRow("[=] is a group") << QByteArray("[=]\nTimeOut=4") << "=" << timeOut << "4" << 4 << "GE" << false;
    QTest::newRow("== gives no key") << QByteArray("[General]\n==\nSkin==x") << general << skin << "=x" << -1
                                     << "GIE" << false;

    // NUL bytes are ordinary characters.
    QTest::newRow("only NUL") << QByteArray("\0", 1) << general << skin << Absent << -1 << "I" << false;
    QTest::newRow("NUL in a value") << QByteArray("[General]\nSkin=a\0b\n", 19) << general << skin
                                    << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b")) << -1 << "GE"
                                    << false;
    QTest::newRow("NUL in a group name hides the group")
        << QByteArray("[Gen\0eral]\nTimeOut=5", 20) << general << timeOut << Absent << -1 << "GE" << false;
    QTest::newRow("NUL before a group line is not white space")
        << QByteArray("\0[General]\nTimeOut=5", 20) << general << timeOut << Absent << -1 << "IE" << false;
    QTest::newRow("NUL after a number") << QByteArray("[General]\nTimeOut=5\0", 20) << general << timeOut
                                        << QString(QStringLiteral("5") + QChar(0)) << -1 << "GE" << false;

    // Line ends and the byte order mark.
    QTest::newRow("BOM and CRLF") << QByteArray("\xEF\xBB\xBF[General]\r\nTimeOut=7\r\n") << general << timeOut
                                  << "7" << 7 << "GE" << false;
    QTest::newRow("a second BOM is text") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[General]\nTimeOut=7") << general
                                          << timeOut << Absent << -1 << "IE" << false;
    QTest::newRow("lone CR does not end a line") << QByteArray("[General]\rTimeOut=7\n") << general << timeOut
                                                 << Absent << -1 << "E" << false;
    QTest::newRow("CR CR LF keeps no CR") << QByteArray("[General]\r\r\nTimeOut=7\r\r\n") << general << timeOut
                                          << "7" << 7 << "GE" << false;

    // Invalid UTF-8: one U+FFFD per invalid byte.
    QTest::newRow("invalid bytes in a value") << QByteArray("[General]\nSkin=\xFF\xFE") << general << skin
                                              << fromUtf16(u"\uFFFD\uFFFD") << -1 << "GE" << false;
    QTest::newRow("invalid byte as a group name") << QByteArray("[\xFF]\nTimeOut=3") << fromUtf16(u"\uFFFD")
                                                  << timeOut << "3" << 3 << "GE" << false;
    QTest::newRow("invalid byte as a digit") << QByteArray("[General]\nTimeOut=1\xB2") << general << timeOut
                                             << fromUtf16(u"1\uFFFD") << -1 << "GE" << false;

    // Numbers at and past the ends of int, and digits that are not ASCII.
    QTest::newRow("INT_MIN") << QByteArray("[General]\nTimeOut=-2147483648") << general << timeOut
                             << "-2147483648" << INT_MIN << "GE" << false;
    QTest::newRow("INT_MAX with leading zeros") << QByteArray("[General]\nTimeOut=+000000000002147483647")
                                                << general << timeOut << "+000000000002147483647" << INT_MAX << "GE"
                                                << false;
    QTest::newRow("INT_MAX + 1") << QByteArray("[General]\nTimeOut=2147483648") << general << timeOut
                                 << "2147483648" << -1 << "GE" << false;
    QTest::newRow("INT_MIN - 1") << QByteArray("[General]\nTimeOut=-2147483649") << general << timeOut
                                 << "-2147483649" << -1 << "GE" << false;
    QTest::newRow("2^64 + 5 does not wrap") << QByteArray("[General]\nTimeOut=18446744073709551621") << general
                                            << timeOut << "18446744073709551621" << -1 << "GE" << false;
    QTest::newRow("sign alone") << QByteArray("[General]\nTimeOut=-") << general << timeOut << "-" << -1 << "GE"
                                << false;
    QTest::newRow("full-width digits") << QByteArray("[General]\nTimeOut=\xEF\xBC\x91\xEF\xBC\x92") << general
                                       << timeOut << fromUtf16(u"\uFF11\uFF12") << -1 << "GE" << false;

    // Repeated keys and groups: the last entry counts.
    QTest::newRow("repeated key in a reopened group")
        << QByteArray("[General]\nTimeOut=1\n[Analog]\nTimeOut=2\n[General]\nTimeOut=3\nTimeOut=x\n") << general
        << timeOut << "x" << -1 << "GEGEGEE" << false;

    // The 1 MiB limit.
    QByteArray longValue = "[General]\nSkin=";
    longValue += QByteArray(MaxBytes, 'a');
    QTest::newRow("1 MiB value, cut by the limit") << longValue << general << skin << Absent << -1 << "GI" << true;
    const QByteArray head = "[General]\nSkin=";
    QByteArray fullValue = head + QByteArray(MaxBytes - head.size(), 'a');
    QTest::newRow("value ending on the last byte read")
        << fullValue << general << skin << QString(MaxBytes - head.size(), u'a') << -1 << "GE" << false;
    qsizetype comments = 0;
    const QByteArray fits = padded("[General]\n", "TimeOut=5\n", MaxBytes, &comments);
    QTest::newRow("entry whose LF is the last byte read")
        << fits << general << timeOut << "5" << 5 << QString(u'G' + QString(comments, u'C') + u'E') << false;
    const QByteArray cut = padded("[General]\n", "TimeOut=5\n", MaxBytes + 1, &comments);
    QTest::newRow("entry whose LF is past the limit")
        << cut << general << timeOut << Absent << -1 << QString(u'G' + QString(comments, u'C') + u'I') << true;
    QTest::newRow("a megabyte and more of =")
        << QByteArray(MaxBytes + 2, '=') << general << skin << Absent << -1 << "I" << true;
    QByteArray lineBreaks;
    for (int i = 0; i < 300 * 1024; ++i)
        lineBreaks += "=\n";
    QTest::newRow("600 KiB of = lines") << lineBreaks << empty << empty << Absent << -1
                                        << QString(300 * 1024, u'I') << false;
}

void tst_FuzzRegressions::settingsFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(QString, entry);
    QFETCH(int, number);
    QFETCH(QString, kinds);
    QFETCH(bool, truncated);

    const IniDocument doc = IniDocument::fromBytes(content);
    QCOMPARE(doc.isTruncated(), truncated);
    const QString letters = kindLetters(doc);
    if (letters.size() > 80) {
        // Long line lists: compare without printing a megabyte on failure.
        QCOMPARE(letters.size(), kinds.size());
        QVERIFY(letters == kinds);
    } else {
        QCOMPARE(letters, kinds);
    }

    // The lock screen reads the file from disk.
    const QString path = m_dir.filePath(QStringLiteral("settings.cfg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
    file.close();

    const ZConfig config(path, true);
    const QString actual = config.readEntry(group, key, Absent);
    if (entry.size() > 80) {
        QCOMPARE(actual.size(), entry.size());
        QVERIFY(actual == entry);
    } else {
        QCOMPARE(actual, entry);
    }
    QCOMPARE(config.readNumEntry(group, key, -1), number);
}

void tst_FuzzRegressions::lunarDate_data()
{
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("text"); // decoded from UTF-8; empty: no lunar date

    const QString none;
    // Every field at the ends of int, alone and together.
    QTest::newRow("all INT_MIN") << INT_MIN << INT_MIN << INT_MIN << none;
    QTest::newRow("all INT_MAX") << INT_MAX << INT_MAX << INT_MAX << none;
    QTest::newRow("all -1") << -1 << -1 << -1 << none;
    QTest::newRow("all 0") << 0 << 0 << 0 << none;
    QTest::newRow("year INT_MIN") << 1 << 6 << INT_MIN << none;
    QTest::newRow("year INT_MAX") << 1 << 6 << INT_MAX << none;
    QTest::newRow("month INT_MIN") << 1 << INT_MIN << 2000 << none;
    QTest::newRow("month INT_MAX") << 1 << INT_MAX << 2000 << none;
    QTest::newRow("day INT_MIN") << INT_MIN << 6 << 2000 << none;
    QTest::newRow("day INT_MAX") << INT_MAX << 6 << 2000 << none;
    QTest::newRow("day INT_MAX, first month") << INT_MAX << 1 << 1900 << none;
    QTest::newRow("day INT_MIN, last month") << INT_MIN << 12 << 2100 << none;
    QTest::newRow("month 0") << 1 << 0 << 2000 << none;
    QTest::newRow("month 13") << 1 << 13 << 2000 << none;
    QTest::newRow("day 0") << 0 << 6 << 2000 << none;
    QTest::newRow("day 32") << 32 << 1 << 2000 << none;

    // The ends of the range and the leap days around them.
    QTest::newRow("1900-01-30") << 30 << 1 << 1900 << none;
    QTest::newRow("1900-01-31") << 31 << 1 << 1900 << fromUtf16(u"鼠(庚子)年正月初一");
    QTest::newRow("1900-02-29") << 29 << 2 << 1900 << none;
    QTest::newRow("2000-02-29") << 29 << 2 << 2000 << fromUtf16(u"龙(庚辰)年正月廿五");
    QTest::newRow("2033-12-22, a leap eleventh month")
        << 22 << 12 << 2033 << fromUtf16(u"牛(癸丑)年闰十一月初一");
    QTest::newRow("2100-02-29") << 29 << 2 << 2100 << none;
    QTest::newRow("2100-12-31") << 31 << 12 << 2100 << fromUtf16(u"猴(庚申)年腊月初一");
    QTest::newRow("2101-01-01") << 1 << 1 << 2101 << none;
}

void tst_FuzzRegressions::lunarDate()
{
    QFETCH(int, day);
    QFETCH(int, month);
    QFETCH(int, year);
    QFETCH(QString, text);

    QString out = QStringLiteral("stale");
    GetDayOf(tagDate { day, month, year }, out);
    if (text.isEmpty()) {
        QCOMPARE(out, QString());
        return;
    }
    // UTF-8 bytes held one per QChar.
    for (const QChar c : std::as_const(out))
        QVERIFY2(c.unicode() <= 0xFF, qPrintable(QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))));
    QCOMPARE(QString::fromUtf8(out.toLatin1()), text);
}

QTEST_GUILESS_MAIN(tst_FuzzRegressions)
#include "tst_fuzz_regressions.moc"
