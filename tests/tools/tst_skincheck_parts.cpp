// Tests of the skin checker's parts on their own: the "did you mean" name
// suggestion, the reading of colour texts, the order of a report and how
// values are shown in it. The checker as a whole, with each message and
// summary as printed, is tested through lockctl check.

#include "skincheck/checkreport.h"
#include "skincheck/colourtext.h"
#include "skincheck/namesuggestion.h"

#include <QtTest>

#include <optional>

class TestSkinCheckParts : public QObject
{
    Q_OBJECT

private slots:
    void closestName_data();
    void closestName();
    void onlyTheFirstCandidatesCount_data();
    void onlyTheFirstCandidatesCount();
    void decimalColour_data();
    void decimalColour();
    void intendedColour_data();
    void intendedColour();
    void reportOrder_data();
    void reportOrder();
    void shownText_data();
    void shownText();
};

namespace {

// A finding written as "file|line|error or warning|message".
void addFinding(CheckReport& report, const QString& finding)
{
    const QStringList f = finding.split(QLatin1Char('|'));
    if (f.value(2) == QLatin1String("warning"))
        report.warning(f.value(0), f.value(1).toInt(), f.value(3));
    else
        report.error(f.value(0), f.value(1).toInt(), f.value(3));
}

QStringList fillers(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(QStringLiteral("Unrelated%1").arg(i));
    return names;
}

} // namespace

void TestSkinCheckParts::closestName_data()
{
    const QStringList keys { "BACKGROUN", "BACKGROUND", "Hand", "Clock", "NotifyWord1" };
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("candidates");
    QTest::addColumn<int>("maxEdits");  // -1: the allowance by length
    QTest::addColumn<QString>("expected");

    QTest::newRow("case only, before a nearer spelling") << "background" << keys << -1 << "BACKGROUND";
    QTest::newRow("a letter dropped") << "BACKGRUND" << QStringList { "BACKGROUND" } << -1 << "BACKGROUND";
    QTest::newRow("neighbours swapped is one edit") << "Hnad" << keys << -1 << "Hand";
    QTest::newRow("three letters allow no edit") << "DCQ" << QStringList { "DCX" } << -1 << QString();
    QTest::newRow("four letters allow one") << "Clok" << keys << -1 << "Clock";
    QTest::newRow("four letters allow no more") << "Clck" << QStringList { "Clock1" } << -1 << QString();
    QTest::newRow("long names allow two") << "NotifWrd1" << keys << -1 << "NotifyWord1";
    QTest::newRow("long names allow no more") << "BCKGRND" << QStringList { "BACKGROUND" } << -1 << QString();
    QTest::newRow("first of equally close") << "Handx" << QStringList { "HandA", "HandB" } << -1 << "HandA";
    QTest::newRow("nearer beats earlier") << "HandBx" << QStringList { "HandAy", "HandB" } << -1 << "HandB";
    QTest::newRow("allowance raised") << "DCQ" << QStringList { "DCX" } << 1 << "DCX";
    QTest::newRow("allowance lowered") << "BACKGRUND" << QStringList { "BACKGROUND" } << 0 << QString();
    QTest::newRow("no candidates") << "BACKGROUND" << QStringList() << -1 << QString();
    const QString longest(LongestSuggestedName, QLatin1Char('a'));
    QTest::newRow("longest name") << longest << QStringList { longest.toUpper() } << -1 << longest.toUpper();
    QTest::newRow("longer name gets nothing")
        << longest + QLatin1Char('a') << QStringList { (longest + QLatin1Char('a')).toUpper() } << -1 << QString();
}

void TestSkinCheckParts::closestName()
{
    QFETCH(QString, name);
    QFETCH(QStringList, candidates);
    QFETCH(int, maxEdits);
    QFETCH(QString, expected);

    const QString suggestion = ::closestName(name, candidates, maxEdits);
    QCOMPARE(suggestion, expected);
    QCOMPARE(suggestion.isNull(), expected.isNull());
}

void TestSkinCheckParts::onlyTheFirstCandidatesCount_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("expected");

    QTest::newRow("last looked at") << int(MostCandidates - 1) << "BACKGROUND";
    QTest::newRow("first not looked at") << int(MostCandidates) << QString();
}

void TestSkinCheckParts::onlyTheFirstCandidatesCount()
{
    QFETCH(int, before);
    QFETCH(QString, expected);

    QStringList candidates = fillers(before);
    candidates.append(QStringLiteral("BACKGROUND"));
    QCOMPARE(::closestName(QStringLiteral("background"), candidates), expected);
    QCOMPARE(::closestName(QStringLiteral("BACKGRUND"), candidates), expected);
}

void TestSkinCheckParts::decimalColour_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("decimal");
    QTest::addColumn<int>("drawn");

    QTest::newRow("black") << "0" << true << 0x000000;
    QTest::newRow("red") << "16711680" << true << 0xFF0000;
    QTest::newRow("largest") << "16777215" << true << 0xFFFFFF;
    QTest::newRow("signed") << "+255" << true << 0x0000FF;
    // Beyond the largest colour the lock screen keeps the low 24 bits.
    QTest::newRow("one past largest") << "16777216" << false << 0x000000;
    QTest::newRow("negative is white") << "-1" << false << 0xFFFFFF;
    QTest::newRow("hex is black") << "0xFF0000" << false << 0x000000;
    QTest::newRow("name is black") << "red" << false << 0x000000;
    QTest::newRow("empty is black") << "" << false << 0x000000;
}

void TestSkinCheckParts::decimalColour()
{
    QFETCH(QString, text);
    QFETCH(bool, decimal);
    QFETCH(int, drawn);

    QCOMPARE(ColourText::isDecimalColour(text), decimal);
    QCOMPARE(ColourText::drawnColour(text), drawn);
}

void TestSkinCheckParts::intendedColour_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("intended");  // -1: nothing

    QTest::newRow("0x six digits") << "0xFF8000" << 0xFF8000;
    QTest::newRow("0X few digits") << "0Xff" << 0x0000FF;
    QTest::newRow("0x alone") << "0x" << -1;
    QTest::newRow("0x seven digits") << "0x1234567" << -1;
    QTest::newRow("0x not hex") << "0xGG" << -1;
    QTest::newRow("#RGB") << "#f00" << 0xFF0000;
    QTest::newRow("#RRGGBB") << "#00ff00" << 0x00FF00;
    QTest::newRow("name") << "steelblue" << 0x4682B4;
    QTest::newRow("with transparency") << "#80ff0000" << -1;
    QTest::newRow("transparent") << "transparent" << -1;
    QTest::newRow("not a colour") << "reddish" << -1;
    QTest::newRow("decimal") << "255" << -1;
}

void TestSkinCheckParts::intendedColour()
{
    QFETCH(QString, text);
    QTEST(ColourText::intendedColour(text).value_or(-1), "intended");
}

void TestSkinCheckParts::reportOrder_data()
{
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("files in order of first report, lines ascending")
        << QStringList { "skin.cfg|5|error|late", "config.cfg|3|warning|w", "skin.cfg|2|error|early",
                         "config.cfg|1|error|first" }
        << QStringList { "skin.cfg:2: error: early", "skin.cfg:5: error: late", "config.cfg:1: error: first",
                         "config.cfg:3: warning: w" };
    QTest::newRow("one line keeps the order reported")
        << QStringList { "a|7|warning|second", "a|2|error|x", "a|7|error|third", "a|7|error|fourth" }
        << QStringList { "a:2: error: x", "a:7: warning: second", "a:7: error: third", "a:7: error: fourth" };
    QTest::newRow("empty") << QStringList() << QStringList();
}

void TestSkinCheckParts::reportOrder()
{
    QFETCH(QStringList, reported);
    QFETCH(QStringList, expected);

    CheckReport report;
    for (const QString& finding : std::as_const(reported))
        addFinding(report, finding);
    QStringList lines;
    for (const CheckDiagnostic& d : report.diagnostics())
        lines.append(d.toString());
    QCOMPARE(lines, expected);
}

void TestSkinCheckParts::shownText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString longest(LongestShownText, QLatin1Char('x'));
    QTest::newRow("plain") << "abc" << "abc";
    QTest::newRow("longest shown whole") << longest << longest;
    QTest::newRow("longer is cut")
        << longest + QLatin1Char('y') << QString(LongestShownText - 20, QLatin1Char('x')) + "... (81 characters)";
    QTest::newRow("NUL") << QString::fromLatin1("a\0b", 3) << "a\\0b";
    QTest::newRow("line end") << "a\nb" << "a\\x0ab";
    QTest::newRow("DEL") << "\x7f" << "\\x7f";
    QTest::newRow("not control") << QString::fromUtf8("\xe4\xb8\xad") << QString::fromUtf8("\xe4\xb8\xad");
}

void TestSkinCheckParts::shownText()
{
    QFETCH(QString, text);
    QTEST(::shownText(text), "expected");
}

QTEST_GUILESS_MAIN(TestSkinCheckParts)
#include "tst_skincheck_parts.moc"
