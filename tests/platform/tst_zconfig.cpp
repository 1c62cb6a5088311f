#include "platform/inidocument.h"
#include "platform/zconfig.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <ctime>
#include <sys/stat.h>

using Kind = IniDocument::LineKind;

namespace {

constexpr qsizetype MiB = 1024 * 1024;

#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
constexpr qint64 ParseBudgetMs = 1000;
#else
constexpr qint64 ParseBudgetMs = 10000; // unoptimised or instrumented build
#endif

qint64 threadCpuMs()
{
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Returned for an absent key, so a found empty value cannot pass for absent.
const QString Absent = QStringLiteral("<absent>");

// Comment lines of exactly n bytes in total (n == 0 or n >= 2).
QByteArray filler(qsizetype n)
{
    QByteArray out;
    out.reserve(n);
    while (n > 0) {
        const qsizetype len = n >= 128 ? 64 : n;
        out += '#' + QByteArray(len - 2, 'x') + '\n';
        n -= len;
    }
    return out;
}

// Places line so that it starts at byte offset `at` of a file of `total`
// bytes, opened by a "[G]" line.
QByteArray placed(const QByteArray& line, qsizetype at, qsizetype total)
{
    const QByteArray head = "[G]\n";
    QByteArray out = head + filler(at - head.size()) + line;
    return out + filler(total - out.size());
}

} // namespace

class tst_ZConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void lineEnds_data();
    void lineEnds() { checkLookup(); }
    void encoding_data();
    void encoding() { checkLookup(); }
    void whitespace_data();
    void whitespace() { checkLookup(); }
    void comments_data();
    void comments() { checkLookup(); }
    void values_data();
    void values() { checkLookup(); }
    void names_data();
    void names() { checkLookup(); }
    void repeatedKeys_data();
    void repeatedKeys() { checkLookup(); }
    void ignoredLines_data();
    void ignoredLines() { checkLookup(); }

    void emptyValueIsNotNull();
    void readNumEntry_data();
    void readNumEntry();

    void documentLines_data();
    void documentLines();
    void documentShape_data();
    void documentShape();

    void sizeLimit_data();
    void sizeLimit();
    void largeFileIsFast_data();
    void largeFileIsFast();

    void fileAccess_data();
    void fileAccess();
    void garbage_data();
    void garbage();

private:
    QString writeFile(const QByteArray& content);
    void checkLookup();
    static void addFound(const char* tag, const QByteArray& content, const QString& group,
                         const QString& key, const QString& value);
    static void addAbsent(const char* tag, const QByteArray& content, const QString& group,
                          const QString& key);

    QTemporaryDir m_dir;
    int m_fileCount = 0;
};

void tst_ZConfig::initTestCase()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
}

QString tst_ZConfig::writeFile(const QByteArray& content)
{
    const QString path = m_dir.filePath(QStringLiteral("f%1.cfg").arg(++m_fileCount));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void tst_ZConfig::addFound(const char* tag, const QByteArray& content, const QString& group,
                           const QString& key, const QString& value)
{
    QTest::newRow(tag) << content << group << key << value;
}

void tst_ZConfig::addAbsent(const char* tag, const QByteArray& content, const QString& group,
                            const QString& key)
{
    QTest::newRow(tag) << content << group << key << Absent;
}

// Shared body of the lookup tests: writes the file and reads one key.
void tst_ZConfig::checkLookup()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    const ZConfig config(writeFile(content), true);
    QCOMPARE(config.readEntry(group, key, Absent), expected);
    // With the null default the platform passes, absence stays null.
    QCOMPARE(config.readEntry(group, key).isNull(), expected == Absent);
}

static void addLookupColumns()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
}

void tst_ZConfig::lineEnds_data()
{
    addLookupColumns();
    addFound("LF", "[G]\nk=v\n", "G", "k", "v");
    addFound("CRLF", "[G]\r\nk=v\r\n", "G", "k", "v");
    addFound("no trailing newline", "[G]\nk=v", "G", "k", "v");
    addFound("CRLF, no trailing newline", "[G]\r\nk=v", "G", "k", "v");
    addFound("CR at the very end", "[G]\nk=v\r", "G", "k", "v");
    addFound("mixed LF and CRLF", "[G]\r\na=1\nk=v\r\nb=2\n", "G", "k", "v");
    addFound("blank and white-space lines", "\n\n[G]\n \t\n\r\n\nk=v\n\n", "G", "k", "v");
    addFound("lone CR is text", "[G]\nk=1\rj=2\n", "G", "k", "1\rj=2");
    addAbsent("lone CR does not start a line", "[G]\nk=1\rj=2\n", "G", "j");
    addAbsent("CR-only file is one line", "[G]\rk=v\r", "G", "k");
}

void tst_ZConfig::encoding_data()
{
    addLookupColumns();
    addFound("BOM skipped", "\xEF\xBB\xBF[G]\nk=v\n", "G", "k", "v");
    addFound("BOM before a key outside groups", "\xEF\xBB\xBFk=v\n", "", "k", "v");
    addFound("BOM later in the file is text", "[G]\n\xEF\xBB\xBFk=v\n", "G", QStringLiteral(u"\uFEFFk"), "v");
    addFound("U+FEFF alone is a key", "[G]\n\xEF\xBB\xBF=v\n", "G", QStringLiteral(u"\uFEFF"), "v");
    addFound("U+FEFF starting a value", "[G]\nk=\xEF\xBB\xBFv\n", "G", "k", QStringLiteral(u"\uFEFFv"));
    addAbsent("BOM later in the file is not skipped", "[G]\n\xEF\xBB\xBFk=v\n", "G", "k");
    addFound("UTF-8 value", "[G]\nk=\xE4\xB8\xAD\xE6\x96\x87 Z\xC3\xBCrich\n", "G", "k",
             QStringLiteral(u"\u4E2D\u6587 Z\u00FCrich"));
    addFound("UTF-8 group and key", "[\xE6\x97\xB6]\n\xE8\x89\xB2=1\n",
             QStringLiteral(u"\u65F6"), QStringLiteral(u"\u8272"), "1");
    addFound("invalid byte", "[G]\nk=a\xFF" "b\n", "G", "k", QStringLiteral(u"a\uFFFDb"));
    addFound("truncated sequence", "[G]\nk=a\xE4\xB8\n", "G", "k", QStringLiteral(u"a\uFFFD\uFFFD"));
    addFound("lone continuation byte", "[G]\nk=\x80\n", "G", "k", QStringLiteral(u"\uFFFD"));
    addFound("overlong encoding", "[G]\nk=\xC0\xAF\n", "G", "k", QStringLiteral(u"\uFFFD\uFFFD"));
    addFound("invalid byte in key", "[G]\nk\xFF=v\n", "G", QStringLiteral(u"k\uFFFD"), "v");
    addFound("invalid byte in group", "[\xFFG]\nk=v\n", QStringLiteral(u"\uFFFDG"), "k", "v");
    addFound("NUL in value", QByteArray("[G]\nk=a\0b\n", 10), "G", "k", QString::fromUtf8("a\0b", 3));
    addFound("NUL in key", QByteArray("[G]\nk\0=v\n", 9), "G", QString::fromUtf8("k\0", 2), "v");
    addAbsent("NUL does not end the key", QByteArray("[G]\nk\0=v\n", 9), "G", "k");
    addFound("non-ASCII spaces are text", "[G]\nk=\xE3\x80\x80x\xC2\xA0\n", "G", "k",
             QStringLiteral(u"\u3000x\u00A0"));
}

void tst_ZConfig::whitespace_data()
{
    addLookupColumns();
    addFound("around key and value", "[G]\n  k \t=  v  \n", "G", "k", "v");
    addFound("inside the brackets", "[  G \t]\nk=v\n", "G", "k", "v");
    addFound("around the group line", "  [G]\t \nk=v\n", "G", "k", "v");
    addFound("vertical tab and form feed", "[G]\n\vk\f=\fv\v\n", "G", "k", "v");
    addFound("inside a key", "[G]\nmy key=v\n", "G", "my key", "v");
    addFound("inside a value", "[G]\nk=v  w\n", "G", "k", "v  w");
    addFound("inside a group name", "[My Group]\nk=v\n", "My Group", "k", "v");
    addFound("white-space value is empty", "[G]\nk= \t \n", "G", "k", "");
    addAbsent("key is not looked up trimmed", "[G]\nk=v\n", "G", " k");
}

void tst_ZConfig::comments_data()
{
    addLookupColumns();
    addAbsent("hash comment", "[G]\n#k=v\n", "G", "k");
    addAbsent("semicolon comment", "[G]\n;k=v\n", "G", "k");
    addAbsent("comment is not a key", "[G]\n#k=v\n", "G", "#k");
    addAbsent("indented comment", "[G]\n  ; k=v\n", "G", "k");
    addFound("comment keeps the group", "[G]\n# note\nk=v\n", "G", "k", "v");
    addFound("commented group line opens nothing", "[G]\n#[H]\nk=v\n", "G", "k", "v");
    addFound("semicolon inside a value", "[G]\nk=a ; b\n", "G", "k", "a ; b");
    addFound("hash inside a value", "[G]\nk=a # b\n", "G", "k", "a # b");
    addFound("value starting with semicolon", "[G]\nk=;x\n", "G", "k", ";x");
    addFound("value starting with hash", "[G]\nk=#000\n", "G", "k", "#000");
    addFound("key containing semicolon", "[G]\na;b=v\n", "G", "a;b", "v");
}

void tst_ZConfig::values_data()
{
    addLookupColumns();
    addFound("equals in value", "[G]\nk=a=b==c\n", "G", "k", "a=b==c");
    addFound("value is an equals sign", "[G]\nk==\n", "G", "k", "=");
    addFound("hint", "[Notify]\nNotifyWord1=Press OK; then *, 100% sure\n", "Notify",
             "NotifyWord1", "Press OK; then *, 100% sure");
    addFound("percent", "[G]\nk=100%\n", "G", "k", "100%");
    addFound("percent escape kept", "[G]\nk=%41%n%s\n", "G", "k", "%41%n%s");
    addFound("commas kept", "[G]\nk=a, b,c\n", "G", "k", "a, b,c");
    addFound("backslashes kept", "[G]\nk=a\\nb\\\n", "G", "k", "a\\nb\\");
    addFound("quotes kept", "[G]\nk=\"x\"\n", "G", "k", "\"x\"");
    addFound("brackets in value", "[G]\nk=[x]\n", "G", "k", "[x]");
    addFound("empty value", "[G]\nk=\n", "G", "k", "");
    addFound("long value", "[G]\nk=" + QByteArray(100000, 'v') + "\n", "G", "k",
             QString(100000, u'v'));
}

void tst_ZConfig::names_data()
{
    addLookupColumns();
    addFound("key exact case", "[Analog]\nClockcenter=cap.png\n", "Analog", "Clockcenter", "cap.png");
    addAbsent("key other case", "[Analog]\nClockcenter=cap.png\n", "Analog", "ClockCenter");
    addFound("group exact case", "[digital]\nDCX=1\n", "digital", "DCX", "1");
    addAbsent("group other case", "[digital]\nDCX=1\n", "Digital", "DCX");
    addFound("key before any group", "k=v\n[G]\nx=1\n", "", "k", "v");
    addAbsent("key before any group is not General", "k=v\n[General]\n", "General", "k");
    addAbsent("key before any group is not in the first group", "k=v\n[G]\n", "G", "k");
    addFound("General is an ordinary group", "[General]\nk=v\n", "General", "k", "v");
    addAbsent("General is not the unnamed group", "[General]\nk=v\n", "", "k");
    addFound("[] names the unnamed group", "[G]\n[]\nk=v\n", "", "k", "v");
    addAbsent("[] ends the previous group", "[G]\n[]\nk=v\n", "G", "k");
    addFound("blank group name", "[ \t ]\nk=v\n", "", "k", "v");
    addFound("nested brackets", "[[x]]\nk=v\n", "[x]", "k", "v");
    addFound("equals in a group name", "[a=b]\nk=v\n", "a=b", "k", "v");
    addFound("brackets in a key", "[G]\nx[1]=2\n", "G", "x[1]", "2");
    addAbsent("group keys stay in their group", "[A]\nk=1\n[B]\n", "B", "k");
    addFound("same key, first group", "[A]\nk=1\n[B]\nk=2\n", "A", "k", "1");
    addFound("same key, second group", "[A]\nk=1\n[B]\nk=2\n", "B", "k", "2");
    addAbsent("absent group", "[A]\nk=1\n", "C", "k");
    addAbsent("empty file", "", "", "k");
}

void tst_ZConfig::repeatedKeys_data()
{
    addLookupColumns();
    addFound("last wins", "[G]\nk=1\nk=2\nk=3\n", "G", "k", "3");
    addFound("empty last wins", "[G]\nk=1\nk=\n", "G", "k", "");
    addFound("same key after trimming", "[G]\nk=1\n  k\t= 2\n", "G", "k", "2");
    addFound("reopened group keeps earlier keys", "[A]\na=1\n[B]\nb=2\n[A]\nc=3\n", "A", "a", "1");
    addFound("reopened group takes new keys", "[A]\na=1\n[B]\nb=2\n[A]\nc=3\n", "A", "c", "3");
    addFound("reopened group, last wins", "[A]\nk=1\n[B]\nk=2\n[A]\nk=3\n", "A", "k", "3");
    addFound("other group unaffected", "[A]\nk=1\n[B]\nk=2\n[A]\nk=3\n", "B", "k", "2");
    addFound("unnamed group reopened by []", "k=1\n[G]\n[]\nk=2\n", "", "k", "2");
}

void tst_ZConfig::ignoredLines_data()
{
    addLookupColumns();
    addAbsent("line without equals", "[G]\njustText\n", "G", "justText");
    addFound("line without equals leaves the rest", "[G]\njustText\nk=v\n", "G", "k", "v");
    addAbsent("empty key", "[G]\n=v\n", "G", "");
    addAbsent("white-space key", "[G]\n \t = v\n", "G", "");
    addFound("unclosed bracket opens no group", "[G]\n[H\nk=v\n", "G", "k", "v");
    addFound("text after the bracket opens no group", "[G]\n[H] x\nk=v\n", "G", "k", "v");
    addFound("comment after the bracket opens no group", "[G]\n[H] ; c\nk=v\n", "G", "k", "v");
    addFound("unclosed bracket with equals is an entry", "[G]\n[H=1\n", "G", "[H", "1");
    addFound("lone closing bracket", "[G]\n]\nk=v\n", "G", "k", "v");
    addFound("lone opening bracket", "[G]\n[\nk=v\n", "G", "k", "v");
}

void tst_ZConfig::emptyValueIsNotNull()
{
    const ZConfig config(writeFile("[G]\nk=\nw= \n"));
    for (const char* key : { "k", "w" }) {
        const QString value = config.readEntry("G", key);
        QVERIFY(!value.isNull());
        QVERIFY(value.isEmpty());
    }
    QVERIFY(config.readEntry("G", "absent").isNull());
}

void tst_ZConfig::readNumEntry_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");

    const int def = 4711;
    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("positive") << QByteArray("3000") << 3000;
    QTest::newRow("negative") << QByteArray("-50") << -50;
    QTest::newRow("minus one") << QByteArray("-1") << -1;
    QTest::newRow("plus sign") << QByteArray("+5") << 5;
    QTest::newRow("minus zero") << QByteArray("-0") << 0;
    QTest::newRow("leading zeros") << QByteArray("007") << 7;
    QTest::newRow("many leading zeros") << QByteArray("00000000000000000000042") << 42;
    QTest::newRow("INT_MAX") << QByteArray("2147483647") << INT_MAX;
    QTest::newRow("INT_MIN") << QByteArray("-2147483648") << INT_MIN;
    QTest::newRow("INT_MIN with zeros") << QByteArray("-000002147483648") << INT_MIN;
    QTest::newRow("trimmed") << QByteArray(" \t12 ") << 12;
    QTest::newRow("colour white") << QByteArray("16777215") << 16777215;

    QTest::newRow("INT_MAX + 1") << QByteArray("2147483648") << def;
    QTest::newRow("INT_MIN - 1") << QByteArray("-2147483649") << def;
    QTest::newRow("+INT_MIN magnitude") << QByteArray("+2147483648") << def;
    QTest::newRow("eleven digits") << QByteArray("99999999999") << def;
    QTest::newRow("wraps to a small value") << QByteArray("4294967297") << def;
    QTest::newRow("hundred digits") << QByteArray(100, '9') << def;
    QTest::newRow("letters") << QByteArray("abc") << def;
    QTest::newRow("empty") << QByteArray("") << def;
    QTest::newRow("decimal point") << QByteArray("1.5") << def;
    QTest::newRow("hex") << QByteArray("0x10") << def;
    QTest::newRow("inner space") << QByteArray("12 34") << def;
    QTest::newRow("trailing letters") << QByteArray("5abc") << def;
    QTest::newRow("exponent") << QByteArray("1e3") << def;
    QTest::newRow("sign only") << QByteArray("-") << def;
    QTest::newRow("plus only") << QByteArray("+") << def;
    QTest::newRow("two signs") << QByteArray("+-1") << def;
    QTest::newRow("double minus") << QByteArray("--1") << def;
    QTest::newRow("space after sign") << QByteArray("- 1") << def;
    QTest::newRow("thousands separator") << QByteArray("1,000") << def;
    QTest::newRow("full-width digits") << QByteArray("\xEF\xBC\x91\xEF\xBC\x92") << def;
    QTest::newRow("Arabic-Indic digits") << QByteArray("\xD9\xA1\xD9\xA2") << def;
    QTest::newRow("colour name") << QByteArray("red") << def;
}

void tst_ZConfig::readNumEntry()
{
    QFETCH(QByteArray, text);
    QFETCH(int, expected);

    const ZConfig config(writeFile("[N]\nk=" + text + "\n"));
    QCOMPARE(config.readNumEntry("N", "k", 4711), expected);
    QCOMPARE(config.readNumEntry("N", "absent", 4711), 4711);
    QCOMPARE(config.readNumEntry("N", "absent"), -1);
}

static QByteArray sampleDocument()
{
    return "; settings\r\n"
           "top=1\n"
           "\n"
           "[General]\n"
           "  Skin = classic \n"
           "junk\n"
           "=nokey\n"
           "\t# note\n"
           "[ Notify ]\n"
           "Hint=a=b\r\n"
           "Empty=";
}

void tst_ZConfig::documentLines_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("raw");

    const QString none;
    QTest::newRow("comment") << 1 << Kind::Comment << "" << none << none << "; settings";
    QTest::newRow("entry before groups") << 2 << Kind::Entry << "" << "top" << "1" << "top=1";
    QTest::newRow("blank") << 3 << Kind::Blank << "" << none << none << "";
    QTest::newRow("group") << 4 << Kind::Group << "General" << none << none << "[General]";
    QTest::newRow("padded entry") << 5 << Kind::Entry << "General" << "Skin" << "classic"
                                  << "  Skin = classic ";
    QTest::newRow("no equals") << 6 << Kind::Ignored << "General" << none << none << "junk";
    QTest::newRow("empty key") << 7 << Kind::Ignored << "General" << none << none << "=nokey";
    QTest::newRow("indented comment") << 8 << Kind::Comment << "General" << none << none << "\t# note";
    QTest::newRow("padded group") << 9 << Kind::Group << "Notify" << none << none << "[ Notify ]";
    QTest::newRow("CRLF entry") << 10 << Kind::Entry << "Notify" << "Hint" << "a=b" << "Hint=a=b";
    QTest::newRow("last, empty value") << 11 << Kind::Entry << "Notify" << "Empty" << "" << "Empty=";
}

void tst_ZConfig::documentLines()
{
    QFETCH(int, number);
    QFETCH(Kind, kind);
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, raw);

    const IniDocument doc = IniDocument::fromBytes(sampleDocument());
    QCOMPARE(doc.lines().size(), 11);
    QVERIFY(!doc.isTruncated());
    const IniDocument::Line& line = doc.lines().at(number - 1);
    QCOMPARE(line.number, number);
    QCOMPARE(line.kind, kind);
    QCOMPARE(line.group, group);
    QCOMPARE(line.key, key);
    QCOMPARE(line.value, value);
    QCOMPARE(line.value.isNull(), value.isNull());
    QCOMPARE(line.raw, raw);
}

void tst_ZConfig::documentShape_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<Kind>>("kinds");
    QTest::addColumn<bool>("truncated");

    using L = QList<Kind>;
    QTest::newRow("empty") << QByteArray() << L{} << false;
    QTest::newRow("BOM only") << QByteArray("\xEF\xBB\xBF") << L{} << false;
    QTest::newRow("one LF") << QByteArray("\n") << L{ Kind::Blank } << false;
    QTest::newRow("BOM and LF") << QByteArray("\xEF\xBB\xBF\n") << L{ Kind::Blank } << false;
    QTest::newRow("no line end") << QByteArray("a") << L{ Kind::Ignored } << false;
    QTest::newRow("final LF adds no line") << QByteArray("a\n") << L{ Kind::Ignored } << false;
    QTest::newRow("CRLF lines") << QByteArray("a\r\n\r\n") << L{ Kind::Ignored, Kind::Blank } << false;
    QTest::newRow("lone CR") << QByteArray("\r") << L{ Kind::Blank } << false;
    QTest::newRow("lone CRs join") << QByteArray("[a]\r#b\rc=d") << L{ Kind::Entry } << false;
    QTest::newRow("three LFs") << QByteArray("\n\n\n") << L{ Kind::Blank, Kind::Blank, Kind::Blank } << false;
    QTest::newRow("exactly the limit")
            << QByteArray(IniDocument::MaxBytes - 1, ' ') + '\n' << L{ Kind::Blank } << false;
    QTest::newRow("limit cuts after a line end")
            << QByteArray(IniDocument::MaxBytes - 1, ' ') + "\nk=v\n" << L{ Kind::Blank } << true;
    QTest::newRow("limit cuts a line")
            << "k=v\n" + QByteArray(IniDocument::MaxBytes, ' ') << L{ Kind::Entry, Kind::Ignored } << true;
    QTest::newRow("limit cuts a CRLF")
            << "k=v\n" + QByteArray(IniDocument::MaxBytes - 5, 'x') + "\r\n"
            << L{ Kind::Entry, Kind::Ignored } << true;
}

void tst_ZConfig::documentShape()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<Kind>, kinds);
    QFETCH(bool, truncated);

    const IniDocument doc = IniDocument::fromBytes(content);
    QList<Kind> actual;
    for (const IniDocument::Line& line : doc.lines())
        actual.append(line.kind);
    QCOMPARE(actual, kinds);
    QCOMPARE(doc.isTruncated(), truncated);
}

void tst_ZConfig::sizeLimit_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("truncated");

    QTest::newRow("key near the start") << placed("k=v\n", 4, 2 * MiB) << "v" << true;
    QTest::newRow("key line ends at the limit") << placed("k=v\n", MiB - 4, 2 * MiB) << "v" << true;
    QTest::newRow("line end just past the limit") << placed("k=v\n", MiB - 3, 2 * MiB) << Absent << true;
    QTest::newRow("value across the limit") << placed("k=value\n", MiB - 3, 2 * MiB) << Absent << true;
    QTest::newRow("key in the second MiB") << placed("k=v\n", MiB + 4096, 2 * MiB) << Absent << true;
    QTest::newRow("key at the very end") << placed("k=v", 2 * MiB - 3, 2 * MiB) << Absent << true;
    QTest::newRow("exactly 1 MiB, no final LF") << placed("k=v", MiB - 3, MiB) << "v" << false;
    QTest::newRow("1 MiB + 1, last line cut") << placed("k=vw", MiB - 3, MiB + 1) << Absent << true;
}

void tst_ZConfig::sizeLimit()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QFETCH(bool, truncated);

    const QString path = writeFile(content);
    QCOMPARE(ZConfig(path).readEntry("G", "k", Absent), expected);
    QCOMPARE(IniDocument::fromFile(path).isTruncated(), truncated);
    // The same bytes in memory obey the same limit.
    QCOMPARE(IniDocument::fromBytes(content).isTruncated(), truncated);
}

void tst_ZConfig::largeFileIsFast_data()
{
    QTest::addColumn<QByteArray>("content");

    const auto repeated = [](const QByteArray& unit) {
        QByteArray out;
        while (out.size() < 2 * MiB)
            out += unit;
        return out;
    };
    QByteArray distinctKeys = "[G]\n";
    for (int i = 0; distinctKeys.size() < 2 * MiB; ++i)
        distinctKeys += "Key" + QByteArray::number(i) + "=value number " + QByteArray::number(i) + '\n';

    QTest::newRow("distinct keys") << distinctKeys;
    QTest::newRow("one key repeated") << repeated("NotifyWord0=Press the centre key\n");
    QTest::newRow("groups") << repeated("[Group]\nk=v\n");
    QTest::newRow("blank lines") << repeated("\n");
    QTest::newRow("CRLF blank lines") << repeated("\r\n");
    QTest::newRow("lone CRs") << repeated("k=\r");
    QTest::newRow("one long line") << QByteArray(2 * MiB, 'x');
    QTest::newRow("equals signs") << repeated("=");
    QTest::newRow("brackets") << repeated("[\n]\n");
    QTest::newRow("invalid UTF-8") << repeated("k=\xFF\xC0\n");
}

void tst_ZConfig::largeFileIsFast()
{
    QFETCH(QByteArray, content);
    const QString path = writeFile(content);

    // The thread's CPU time, not the wall clock: other processes on a busy
    // machine must not make a linear read look quadratic.
    const qint64 started = threadCpuMs();
    const ZConfig config(path);
    const qint64 elapsed = threadCpuMs() - started;
    QCOMPARE(config.readEntry("G", "absent key", Absent), Absent);
    // The goal is well under 100 ms for an optimised build; the budget leaves
    // room for busy machines and still catches quadratic work.
    QVERIFY2(elapsed < ParseBudgetMs, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
}

void tst_ZConfig::fileAccess_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    const QByteArray content = "[G]\nk=v\n";
    const QString file = writeFile(content);
    const QString dir = m_dir.filePath("folder");
    QVERIFY(QDir().mkpath(dir));
    const QString fifo = m_dir.filePath("fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = m_dir.filePath("link.cfg");
    QVERIFY(QFile::link(file, link));
    const QString dirLink = m_dir.filePath("dirlink");
    QVERIFY(QFile::link(dir, dirLink));
    const QString dangling = m_dir.filePath("dangling.cfg");
    QVERIFY(QFile::link(m_dir.filePath("nowhere"), dangling));
    const QString unicodeName = m_dir.filePath(QStringLiteral(u"\u76AE\u80A4 skin.cfg"));
    QVERIFY(QFile::copy(file, unicodeName));

    QTest::newRow("regular file") << file << "v";
    QTest::newRow("missing file") << m_dir.filePath("missing.cfg") << Absent;
    QTest::newRow("missing folder") << m_dir.filePath("nowhere/skin.cfg") << Absent;
    QTest::newRow("directory") << dir << Absent;
    QTest::newRow("directory with slash") << dir + '/' << Absent;
    QTest::newRow("empty path") << QString() << Absent;
    QTest::newRow("FIFO without writer") << fifo << Absent;
    QTest::newRow("character device") << QStringLiteral("/dev/null") << Absent;
    QTest::newRow("symlink to a file") << link << "v";
    QTest::newRow("symlink to a directory") << dirLink << Absent;
    QTest::newRow("dangling symlink") << dangling << Absent;
    QTest::newRow("non-ASCII file name") << unicodeName << "v";
    // The system would stop at the NUL and open the file before it.
    QTest::newRow("NUL in the name") << file + QChar(0) + QStringLiteral(".old") << Absent;
}

void tst_ZConfig::fileAccess()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);

    QCOMPARE(ZConfig(path, true).readEntry("G", "k", Absent), expected);
    const IniDocument doc = IniDocument::fromFile(path);
    QCOMPARE(doc.lines().isEmpty(), expected == Absent);
    QVERIFY(!doc.isTruncated());
}

void tst_ZConfig::garbage_data()
{
    QTest::addColumn<QByteArray>("content");

    QByteArray allBytes;
    for (int round = 0; round < 16; ++round) {
        for (int b = 0; b < 256; ++b)
            allBytes += char((b * 7 + round) & 0xFF);
    }
    QTest::newRow("all byte values") << allBytes;

    // Random bytes, and random bytes drawn mostly from the syntax characters.
    const QByteArray syntax("[]=#;\r\n \t\xEF\xBB\xBF\xFF\0ab", 16);
    for (quint32 seed = 1; seed <= 4; ++seed) {
        QRandomGenerator rng(seed);
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        QByteArray structured(64 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < noise.size(); ++i) {
            noise[i] = char(rng.bounded(256));
            structured[i] = syntax.at(rng.bounded(int(syntax.size())));
        }
        QTest::addRow("random bytes, seed %u", seed) << noise;
        QTest::addRow("random syntax, seed %u", seed) << structured;
    }
    QTest::newRow("NULs only") << QByteArray(4096, '\0');
    QTest::newRow("BOM, then NULs") << "\xEF\xBB\xBF" + QByteArray(16, '\0') + "\n=\n";
    QTest::newRow("one line over the limit") << QByteArray(MiB + 10, 'a');
    QTest::newRow("brackets and equals") << QByteArray("[[[]]]===\n][=\n[=]\n[\n]\n=\n==\n");
    QTest::newRow("UTF-16 with BOM") << QByteArray("\xFF\xFE[\0G\0]\0\n\0k\0=\0v\0\n\0", 18);
    QTest::newRow("ELF header") << QByteArray("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0", 20);
}

void tst_ZConfig::garbage()
{
    QFETCH(QByteArray, content);

    const IniDocument doc = IniDocument::fromBytes(content);
    QByteArray parsed = content.left(IniDocument::MaxBytes);
    if (parsed.startsWith("\xEF\xBB\xBF"))
        parsed.remove(0, 3);
    const qsizetype expectedLines = parsed.count('\n') + (parsed.endsWith('\n') || parsed.isEmpty() ? 0 : 1);
    QCOMPARE(doc.lines().size(), expectedLines);

    const ZConfig config(writeFile(content));
    for (qsizetype i = 0; i < doc.lines().size(); ++i) {
        const IniDocument::Line& line = doc.lines().at(i);
        QCOMPARE(line.number, int(i + 1));
        QVERIFY(!line.raw.contains(u'\n'));
        if (line.kind == Kind::Entry) {
            QVERIFY(!line.key.isEmpty());
            QVERIFY(!line.value.isNull());
            QVERIFY(!config.readEntry(line.group, line.key).isNull());
        }
    }
}

QTEST_GUILESS_MAIN(tst_ZConfig)
#include "tst_zconfig.moc"
