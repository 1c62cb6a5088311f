// Tests of the lunar date conversion GetDayOf (extended from the original
// 1921-2020 table to 1900-01-31 .. 2100-12-31).

#include "lunar/lunarcalendar.h"
#include "lunartestnames.h"

#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QRandomGenerator>
#include <QtTest>

#include <climits>
#include <vector>

namespace {

// The text GetDayOf writes into a fresh string, decoded from its one-byte-per-
// character UTF-8 form the way the lunar line does.
QString lunarText(int year, int month, int day)
{
    const tagDate date{day, month, year};
    QString raw;
    GetDayOf(date, raw);
    return QString::fromUtf8(raw.toLatin1());
}

QString lunarText(const QDate& d)
{
    return lunarText(d.year(), d.month(), d.day());
}

// True for a real calendar date from 1900-01-31 through 2100-12-31. Hostile
// years never reach QDate.
bool isSupported(int year, int month, int day)
{
    if (year < 1900 || year > 2100)
        return false;
    const QDate q(year, month, day);
    return q.isValid() && q >= QDate(1900, 1, 31);
}

// ---------------------------------------------------------------------------
// Reference: the original 1921-2020 conversion, written down here
// independently of src/lunar: the historical table's 100 words for lunar years
// 1921..2020, the original day-number formula ("every fourth year", counting
// from 1921-02-08) and its scan and text. It is valid for the original table's
// span 1921-02-08 .. 2021-02-11 only.

// The historical table's words for lunar years 1921..2020, from the file the
// table generator also checks against.
const std::vector<unsigned int>& historicalWords()
{
    static const std::vector<unsigned int> words = [] {
        std::vector<unsigned int> read;
        QFile file(QStringLiteral(LOCKAPP_SOURCE_DIR "/tools/lunar-table/historical-words.txt"));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            qFatal("cannot read %s", qPrintable(file.fileName()));
        const QRegularExpression word(QStringLiteral("^0x[0-9A-F]{8}$"));
        while (!file.atEnd()) {
            const QString line = QString::fromLatin1(file.readLine()).trimmed();
            if (line.startsWith(QLatin1Char('#')))
                continue;
            for (const QString& token : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                if (!word.match(token).hasMatch())
                    qFatal("not a word of the historical table: %s", qPrintable(token));
                read.push_back(token.mid(2).toUInt(nullptr, 16));
            }
        }
        if (read.size() != 100)
            qFatal("%zu words in the historical table, not 100", read.size());
        return read;
    }();
    return words;
}

// The original 1921-2020 conversion, steps 1-4, literally. Returns a null
// string if the scan would leave the table (never inside the original table's
// span).
QString originalConversionText(int Y, int M, int D)
{
    static const int daysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int nTheDate = 365 * (Y - 1921) + (Y - 1921) / 4 + daysBeforeMonth[M - 1] + D - 38;
    if (Y % 4 == 0 && M > 2)
        nTheDate += 1;
    if (nTheDate < 1)
        return QString();
    int m = 0;
    int k = 0;
    int n = 0;
    bool found = false;
    while (!found) {
        if (m >= 100)
            return QString();
        const unsigned int w = historicalWords()[m];
        k = w > 4094 ? 12 : 11;
        for (n = k; n >= 0; n--) {
            const int nBit = static_cast<int>((w >> n) % 2);
            if (nTheDate <= 29 + nBit) {
                found = true;
                break;
            }
            nTheDate -= 29 + nBit;
        }
        if (!found)
            ++m;
    }
    const int p = k - n + 1;
    int month = p;
    if (k == 12) {
        const int leap = static_cast<int>(historicalWords()[m] / 65536);
        if (p == leap + 1)
            month = 1 - p;
        else if (p > leap + 1)
            month = p - 1;
    }
    return lunartest::lunarDateText(1921 + m, month < 1 ? -month : month, month < 1, nTheDate);
}

} // namespace

class TestLunarCalendar : public QObject
{
    Q_OBJECT

private slots:
    void knownDates_data();
    void knownDates();
    void historicalLunarNewYears_data();
    void historicalLunarNewYears();
    void leapMonthLabelling1984();
    void sameDateSameText();
    void outputIsOneUtf8BytePerCharacter();
    void originalSpanMatchesOriginalConversion();
    void wholeRangeWellFormed();
    void onlySupportedDatesConvert_data();
    void onlySupportedDatesConvert();
    void hostileInputs();
    void randomInputs();
    void previousContentIsReplaced();
};

void TestLunarCalendar::knownDates_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    const struct { int y, m, d; const char* text; } rows[] = {
        // Within the original table's span, 1921-02-08 .. 2021-02-11.
        {1921, 2, 8, "鸡(辛酉)年正月初一"},
        {1921, 3, 9, "鸡(辛酉)年正月三十"},
        {1921, 3, 10, "鸡(辛酉)年二月初一"},
        {1924, 2, 29, "鼠(甲子)年正月廿五"},
        {1924, 3, 1, "鼠(甲子)年正月廿六"},
        {1984, 11, 22, "鼠(甲子)年十月三十"},
        {1984, 11, 23, "鼠(甲子)年闰十月初一"},
        {1984, 12, 22, "鼠(甲子)年十一月初一"},
        {1985, 2, 19, "鼠(甲子)年腊月三十"},
        {1985, 2, 20, "牛(乙丑)年正月初一"},
        {1999, 12, 31, "兔(己卯)年十一月廿四"},
        {2000, 2, 29, "龙(庚辰)年正月廿五"},
        {2000, 3, 1, "龙(庚辰)年正月廿六"},
        {2008, 2, 7, "鼠(戊子)年正月初一"},
        {2008, 8, 8, "鼠(戊子)年七月初八"},
        {2020, 1, 25, "鼠(庚子)年正月初一"},
        {2020, 5, 22, "鼠(庚子)年四月三十"},
        {2020, 5, 23, "鼠(庚子)年闰四月初一"},
        {2020, 6, 21, "鼠(庚子)年五月初一"},
        {2021, 2, 11, "鼠(庚子)年腊月三十"},
        // Beyond it. The first supported day: lunar year 1900 (庚子) begins on 1900-01-31.
        {1900, 1, 31, "鼠(庚子)年正月初一"},
        // 1900 is not a leap year: 1900-02-28 is followed by 1900-03-01.
        {1900, 2, 28, "鼠(庚子)年正月廿九"},
        {1900, 3, 1, "鼠(庚子)年二月初一"},
        // Lunar year 1900 has a leap eighth month.
        {1900, 9, 24, "鼠(庚子)年闰八月初一"},
        {1921, 2, 7, "猴(庚申)年腊月三十"},
        {2021, 2, 12, "牛(辛丑)年正月初一"},
        // A leap eleventh month (leap field 11, never met in the original table's span):
        // 12 characters.
        {2033, 12, 22, "牛(癸丑)年闰十一月初一"},
        {2034, 1, 19, "牛(癸丑)年闰十一月廿九"},
        {2034, 1, 20, "牛(癸丑)年腊月初一"},
        {2026, 2, 17, "马(丙午)年正月初一"},
        {2100, 2, 9, "猴(庚申)年正月初一"},
        // 2100 is not a leap year.
        {2100, 2, 28, "猴(庚申)年正月二十"},
        {2100, 3, 1, "猴(庚申)年正月廿一"},
        // Last supported day.
        {2100, 12, 31, "猴(庚申)年腊月初一"},
    };
    for (const auto& r : rows) {
        const QDate date(r.y, r.m, r.d);
        QTest::newRow(qPrintable(date.toString(Qt::ISODate))) << date << QString::fromUtf8(r.text);
    }
}

void TestLunarCalendar::knownDates()
{
    QFETCH(QDate, date);
    QFETCH(QString, text);
    QCOMPARE(lunarText(date), text);
    // Within the original table's span the independent reference agrees too,
    // which checks the reference itself.
    if (date >= QDate(1921, 2, 8) && date <= QDate(2021, 2, 11))
        QCOMPARE(originalConversionText(date.year(), date.month(), date.day()), text);
}

void TestLunarCalendar::historicalLunarNewYears_data()
{
    QTest::addColumn<QDate>("date");
    for (const QDate& d : {QDate(1949, 1, 29), QDate(1966, 1, 21), QDate(1976, 1, 31), QDate(1990, 1, 27),
                           QDate(2000, 2, 5), QDate(2001, 1, 24), QDate(2010, 2, 14), QDate(2015, 2, 19),
                           QDate(2019, 2, 5)})
        QTest::newRow(qPrintable(d.toString(Qt::ISODate))) << d;
}

void TestLunarCalendar::historicalLunarNewYears()
{
    QFETCH(QDate, date);
    const QString text = lunarText(date);
    QVERIFY2(text.endsWith(QStringLiteral(")年正月初一")), qPrintable(text));
    // The day before is the last day of the twelfth month of the year before.
    const QString eve = lunarText(date.addDays(-1));
    QVERIFY2(eve.contains(QStringLiteral(")年腊月廿九")) || eve.contains(QStringLiteral(")年腊月三十")), qPrintable(eve));
    // The year name changes at the new year.
    QVERIFY(text.left(5) != eve.left(5));
}

void TestLunarCalendar::leapMonthLabelling1984()
{
    // Lunar year 1984 has the leap field 10: position 11 is the leap tenth
    // month, position 12 month 11, position 13 month 12.
    QCOMPARE(lunarText(1984, 11, 22), QStringLiteral("鼠(甲子)年十月三十"));
    QCOMPARE(lunarText(1984, 11, 23), QStringLiteral("鼠(甲子)年闰十月初一"));
    QCOMPARE(lunarText(1984, 12, 21), QStringLiteral("鼠(甲子)年闰十月廿九"));
    QCOMPARE(lunarText(1984, 12, 22), QStringLiteral("鼠(甲子)年十一月初一"));
    QCOMPARE(lunarText(1985, 1, 21), QStringLiteral("鼠(甲子)年腊月初一"));
    QCOMPARE(lunarText(1985, 2, 19), QStringLiteral("鼠(甲子)年腊月三十"));

    // Every day of the leap month carries the mark, and no other day of 1984's
    // lunar year does.
    int leapDays = 0;
    for (QDate d(1984, 2, 2); d <= QDate(1985, 2, 19); d = d.addDays(1)) {
        const QString text = lunarText(d);
        QVERIFY2(text.startsWith(QStringLiteral("鼠(甲子)年")), qPrintable(text));
        if (text.contains(QStringLiteral("闰"))) {
            QVERIFY2(text.contains(QStringLiteral("闰十月")), qPrintable(text));
            ++leapDays;
        }
    }
    QCOMPARE(leapDays, 29);
}

void TestLunarCalendar::sameDateSameText()
{
    const tagDate date{23, 5, 2020};
    QString first;
    GetDayOf(date, first);
    QString second;
    GetDayOf(date, second);
    QCOMPARE(second, first);

    // A previous call with another date (a leap month, a 13-month year, another
    // century, an invalid date) has no influence.
    const tagDate others[] = {{23, 11, 1984}, {22, 12, 2033}, {31, 1, 1900}, {31, 12, 2100}, {30, 2, 2021}, {1, 1, 1899}};
    for (const tagDate& other : others) {
        QString scratch;
        GetDayOf(other, scratch);
        QString again;
        GetDayOf(date, again);
        QCOMPARE(again, first);
    }
    QCOMPARE(QString::fromUtf8(first.toLatin1()), QStringLiteral("鼠(庚子)年闰四月初一"));
}

void TestLunarCalendar::outputIsOneUtf8BytePerCharacter()
{
    const tagDate leap{23, 5, 2020};
    QString raw;
    GetDayOf(leap, raw);
    // 29 bytes of UTF-8, each one a character of the same code.
    QCOMPARE(raw.size(), 29);
    for (QChar c : raw)
        QVERIFY(c.unicode() < 256);
    QCOMPARE(raw.toLatin1(), QByteArray("鼠(庚子)年闰四月初一"));
    QCOMPARE(QString::fromUtf8(raw.toLatin1()).size(), 11);

    const tagDate plain{22, 5, 2020};
    GetDayOf(plain, raw);
    QCOMPARE(raw.size(), 26);
    QCOMPARE(QString::fromUtf8(raw.toLatin1()).size(), 10);
}

void TestLunarCalendar::originalSpanMatchesOriginalConversion()
{
    // Every date of the original table's span: the extended conversion (table
    // from 1900, full Gregorian leap-year rule) gives exactly what the original
    // 1921-2020 conversion (its day-number formula and 100 words) gives.
    int days = 0;
    for (QDate d(1921, 2, 8); d <= QDate(2021, 2, 11); d = d.addDays(1)) {
        const QString expected = originalConversionText(d.year(), d.month(), d.day());
        QVERIFY2(!expected.isEmpty(), qPrintable(d.toString(Qt::ISODate)));
        const QString actual = lunarText(d);
        if (actual != expected)
            QFAIL(qPrintable(QStringLiteral("%1: %2, original conversion %3").arg(d.toString(Qt::ISODate), actual, expected)));
        ++days;
    }
    QCOMPARE(days, 36529);
    // The original table's span is exactly where its formula and table hold.
    QVERIFY(originalConversionText(1921, 2, 7).isEmpty());
    QVERIFY(originalConversionText(2021, 2, 12).isEmpty());
}

void TestLunarCalendar::wholeRangeWellFormed()
{
    // Every date of the range converts, the lunar day advances by one each
    // day or starts a new month after day 29 or 30, and the year name changes
    // exactly at the first day of the first month.
    const QString dayNames[] = {
        QStringLiteral("初一"), QStringLiteral("初二"), QStringLiteral("初三"), QStringLiteral("初四"),
        QStringLiteral("初五"), QStringLiteral("初六"), QStringLiteral("初七"), QStringLiteral("初八"),
        QStringLiteral("初九"), QStringLiteral("初十"), QStringLiteral("十一"), QStringLiteral("十二"),
        QStringLiteral("十三"), QStringLiteral("十四"), QStringLiteral("十五"), QStringLiteral("十六"),
        QStringLiteral("十七"), QStringLiteral("十八"), QStringLiteral("十九"), QStringLiteral("二十"),
        QStringLiteral("廿一"), QStringLiteral("廿二"), QStringLiteral("廿三"), QStringLiteral("廿四"),
        QStringLiteral("廿五"), QStringLiteral("廿六"), QStringLiteral("廿七"), QStringLiteral("廿八"),
        QStringLiteral("廿九"), QStringLiteral("三十")};
    auto dayOf = [&](const QString& text) {
        for (int i = 0; i < 30; ++i)
            if (text.endsWith(dayNames[i]))
                return i + 1;
        return 0;
    };
    int previousDay = 0;
    QString previousYear;
    int dates = 0;
    for (QDate d(1900, 1, 31); d <= QDate(2100, 12, 31); d = d.addDays(1)) {
        const QString text = lunarText(d);
        const QString where = d.toString(Qt::ISODate) + QLatin1Char(' ') + text;
        QVERIFY2(text.size() >= 10 && text.size() <= 12, qPrintable(where));
        const int day = dayOf(text);
        QVERIFY2(day != 0, qPrintable(where));
        const QString year = text.left(5);
        if (dates != 0) {
            if (day == 1)
                QVERIFY2(previousDay == 29 || previousDay == 30, qPrintable(where));
            else
                QVERIFY2(day == previousDay + 1, qPrintable(where));
            const bool newYear = text.endsWith(QStringLiteral(")年正月初一"));
            QVERIFY2((year != previousYear) == newYear, qPrintable(where));
        }
        previousDay = day;
        previousYear = year;
        ++dates;
    }
    QCOMPARE(dates, 73384);
}

void TestLunarCalendar::onlySupportedDatesConvert_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<bool>("supported");
    // The range's ends.
    QTest::newRow("1900-01-30") << 1900 << 1 << 30 << false;
    QTest::newRow("1900-01-31") << 1900 << 1 << 31 << true;
    QTest::newRow("1900-01-01") << 1900 << 1 << 1 << false;
    QTest::newRow("1899-12-31") << 1899 << 12 << 31 << false;
    QTest::newRow("1899-06-15") << 1899 << 6 << 15 << false;
    QTest::newRow("2100-12-31") << 2100 << 12 << 31 << true;
    QTest::newRow("2101-01-01") << 2101 << 1 << 1 << false;
    QTest::newRow("2101-06-15") << 2101 << 6 << 15 << false;
    QTest::newRow("1921-02-07") << 1921 << 2 << 7 << true;
    QTest::newRow("2021-02-12") << 2021 << 2 << 12 << true;
    QTest::newRow("0000-01-01") << 0 << 1 << 1 << false;
    QTest::newRow("-1-01-01") << -1 << 1 << 1 << false;
    QTest::newRow("9999-12-31") << 9999 << 12 << 31 << false;
    // Dates that do not exist...
    QTest::newRow("2021-02-30") << 2021 << 2 << 30 << false;
    QTest::newRow("2021-02-29") << 2021 << 2 << 29 << false;
    QTest::newRow("1900-02-29 (1900 is no leap year)") << 1900 << 2 << 29 << false;
    QTest::newRow("2100-02-29 (2100 is no leap year)") << 2100 << 2 << 29 << false;
    QTest::newRow("2020-04-31") << 2020 << 4 << 31 << false;
    QTest::newRow("2020-01-32") << 2020 << 1 << 32 << false;
    QTest::newRow("2020-12-99") << 2020 << 12 << 99 << false;
    QTest::newRow("2020-05-00") << 2020 << 5 << 0 << false;
    QTest::newRow("2020-05--1") << 2020 << 5 << -1 << false;
    QTest::newRow("2020-00-10") << 2020 << 0 << 10 << false;
    QTest::newRow("2020-13-10") << 2020 << 13 << 10 << false;
    QTest::newRow("2020--1-10") << 2020 << -1 << 10 << false;
    // ...while the leap days that do exist convert.
    QTest::newRow("2000-02-29") << 2000 << 2 << 29 << true;
    QTest::newRow("2020-02-29") << 2020 << 2 << 29 << true;
}

void TestLunarCalendar::onlySupportedDatesConvert()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(bool, supported);
    const tagDate date{day, month, year};
    QString raw = QStringLiteral("previous content");
    GetDayOf(date, raw);
    QCOMPARE(!raw.isEmpty(), supported);
}

void TestLunarCalendar::hostileInputs()
{
    const int values[] = {INT_MIN, INT_MIN + 1, -2147483647 / 2, -100000, -1, 0, 1, 2, 12, 13, 28, 29, 30, 31,
                          32, 99, 1899, 1900, 1921, 2020, 2100, 2101, 100000, INT_MAX / 2, INT_MAX - 1, INT_MAX};
    int converted = 0;
    for (int year : values) {
        for (int month : values) {
            for (int day : values) {
                const tagDate date{day, month, year};
                QString raw = QStringLiteral("x");
                GetDayOf(date, raw);
                if (isSupported(year, month, day)) {
                    QVERIFY(!raw.isEmpty());
                    ++converted;
                } else if (!raw.isEmpty()) {
                    QFAIL(qPrintable(QStringLiteral("%1-%2-%3 gave a text").arg(year).arg(month).arg(day)));
                }
            }
        }
    }
    QVERIFY(converted > 0);
}

void TestLunarCalendar::randomInputs()
{
    QRandomGenerator random(20260101);
    for (int i = 0; i < 200000; ++i) {
        tagDate date{static_cast<int>(random.generate()), static_cast<int>(random.generate()),
                     static_cast<int>(random.generate())};
        // Every fourth input is drawn near the supported range.
        if (i % 4 == 0) {
            date.year = 1895 + static_cast<int>(random.bounded(210));
            date.month = -1 + static_cast<int>(random.bounded(15));
            date.day = -1 + static_cast<int>(random.bounded(34));
        }
        QString raw = QStringLiteral("x");
        GetDayOf(date, raw);
        QCOMPARE(!raw.isEmpty(), isSupported(date.year, date.month, date.day));
    }
}

void TestLunarCalendar::previousContentIsReplaced()
{
    QString raw = QStringLiteral("some text that was there before the call");
    const tagDate date{8, 8, 2008};
    GetDayOf(date, raw);
    QCOMPARE(QString::fromUtf8(raw.toLatin1()), QStringLiteral("鼠(戊子)年七月初八"));
    const tagDate outside{1, 1, 2101};
    GetDayOf(outside, raw);
    QVERIFY(raw.isEmpty());
}

QTEST_APPLESS_MAIN(TestLunarCalendar)
#include "tst_lunarcalendar.moc"
