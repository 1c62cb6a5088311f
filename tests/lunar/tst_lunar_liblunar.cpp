// The whole supported range 1900-01-31 .. 2100-12-31 of GetDayOf, date by
// date, against a second source that is not the generator's (lunar-javascript):
// Debian's table-based liblunar-date.

#include "lunar/lunarcalendar.h"
#include "lunardatereference.h"
#include "lunartestnames.h"

#include <QDate>
#include <QList>
#include <QtTest>

namespace {

QString lunarText(const QDate& d)
{
    const tagDate date{d.day(), d.month(), d.year()};
    QString raw;
    GetDayOf(date, raw);
    return QString::fromUtf8(raw.toLatin1());
}

// A run of consecutive dates on which GetDayOf and liblunar-date disagree:
// one lunar month that the two start on different days. The texts are those
// of the run's first date.
struct KnownDisagreement
{
    const char* from;    // first date of the run (ISO)
    const char* to;      // last date of the run (ISO)
    const char* ours;    // GetDayOf's text on `from`
    const char* theirs;  // liblunar-date's text on `from`
    const char* reason;  // why GetDayOf is right
};

// Every run of disagreement over the whole range, each with its reason. A run
// that is not listed here, or a listed run that no longer disagrees exactly
// so, fails the test.
//
// A lunar month starts on the day (Beijing time, UTC+8) of its new moon. The
// table-based liblunar-date starts a few months one day early or late; inside
// 1921..2020 the historical table's 100 words settle every month (and GetDayOf follows
// them there, tst_lunarcalendar checks that date by date). The new-moon times
// below were computed with PyEphem 4.1.4 (Debian's python3-ephem), a source
// independent of both calendars.
const KnownDisagreement knownDisagreements[] = {
    {"1900-01-31", "1900-01-31", "鼠(庚子)年正月初一", "(rejected by liblunar-date)",
     "liblunar-date refuses this date (\"Year out of range\"); its range starts on 1900-02-01, which it calls "
     "正月初二 as GetDayOf does. New moon 1900-01-31 09:23 Beijing time: lunar year 1900 begins on 1900-01-31."},
    {"1933-07-22", "1933-08-20", "鸡(癸酉)年闰五月三十", "鸡(癸酉)年六月初一",
     "Month 6 of 1933: new moon 1933-07-23 00:03 Beijing time, so it starts 1933-07-23; the historical table's word "
     "for 1933 (0x00050DA9) settles it. liblunar-date starts it a day early."},
    {"1954-11-25", "1954-12-24", "马(甲午)年十一月初一", "马(甲午)年十月三十",
     "Month 11 of 1954: new moon 1954-11-25 20:30 Beijing time; the historical table's word for 1954 (0x00000A5B) "
     "settles it. liblunar-date starts it a day late."},
    {"1956-12-02", "1956-12-31", "猴(丙申)年十一月初一", "猴(丙申)年十月三十",
     "Month 11 of 1956: new moon 1956-12-02 16:12 Beijing time; the historical table's word for 1956 (0x0000052B) "
     "settles it. liblunar-date starts it a day late."},
    {"1978-09-02", "1978-10-01", "马(戊午)年七月三十", "马(戊午)年八月初一",
     "Month 8 of 1978: new moon 1978-09-03 00:09 Beijing time, so it starts 1978-09-03; the historical table's word "
     "for 1978 (0x00000B6A) settles it. liblunar-date starts it a day early."},
    {"2060-04-30", "2060-05-29", "龙(庚辰)年四月初一", "龙(庚辰)年三月三十",
     "Month 4 of 2060 (outside the original table's span): new moon 2060-04-30 18:10 Beijing time, so it starts "
     "2060-04-30. liblunar-date starts it a day late."},
};

} // namespace

class TestLunarLibLunar : public QObject
{
    Q_OBJECT

private slots:
    void referenceWorks();
    void wholeRangeAgainstLibLunarDate();
};

void TestLunarLibLunar::referenceWorks()
{
    const ReferenceLunarDate r = referenceLunarDate(2020, 5, 23);
    QVERIFY(r.valid);
    QCOMPARE(r.year, 2020);
    QCOMPARE(r.month, 4);
    QVERIFY(r.leap);
    QCOMPARE(r.day, 1);
    QCOMPARE(lunartest::lunarDateText(r.year, r.month, r.leap, r.day), QStringLiteral("鼠(庚子)年闰四月初一"));
    // Its range starts a day after ours.
    QVERIFY(!referenceLunarDate(1900, 1, 31).valid);
    QVERIFY(referenceLunarDate(1900, 2, 1).valid);
    QVERIFY(referenceLunarDate(2100, 12, 31).valid);
}

void TestLunarLibLunar::wholeRangeAgainstLibLunarDate()
{
    struct Run
    {
        QDate from;
        QDate to;
        QString ours;
        QString theirs;
    };
    QList<Run> runs;
    int dates = 0;
    const QDate first(1900, 1, 31);
    const QDate last(2100, 12, 31);
    for (QDate d = first; d <= last; d = d.addDays(1)) {
        ++dates;
        const QString ours = lunarText(d);
        const ReferenceLunarDate r = referenceLunarDate(d.year(), d.month(), d.day());
        const QString theirs = r.valid ? lunartest::lunarDateText(r.year, r.month, r.leap, r.day)
                                       : QStringLiteral("(rejected by liblunar-date)");
        if (ours == theirs)
            continue;
        if (!runs.isEmpty() && runs.last().to == d.addDays(-1))
            runs.last().to = d;
        else
            runs.append({d, d, ours, theirs});
    }
    QCOMPARE(dates, 73384);

    QStringList problems;
    QList<bool> listedSeen(std::size(knownDisagreements), false);
    for (const Run& run : runs) {
        bool listed = false;
        for (size_t i = 0; i < std::size(knownDisagreements); ++i) {
            const KnownDisagreement& k = knownDisagreements[i];
            if (QDate::fromString(QLatin1String(k.from), Qt::ISODate) == run.from
                && QDate::fromString(QLatin1String(k.to), Qt::ISODate) == run.to
                && QString::fromUtf8(k.ours) == run.ours && QString::fromUtf8(k.theirs) == run.theirs) {
                listed = true;
                listedSeen[i] = true;
            }
        }
        if (!listed)
            problems << QStringLiteral("new disagreement %1 .. %2 (%3 days): ours %4, liblunar-date %5")
                            .arg(run.from.toString(Qt::ISODate), run.to.toString(Qt::ISODate))
                            .arg(run.from.daysTo(run.to) + 1)
                            .arg(run.ours, run.theirs);
    }
    for (size_t i = 0; i < std::size(knownDisagreements); ++i)
        if (!listedSeen[i])
            problems << QStringLiteral("listed disagreement %1 .. %2 no longer occurs as listed")
                            .arg(QLatin1String(knownDisagreements[i].from), QLatin1String(knownDisagreements[i].to));
    for (const QString& p : problems)
        qWarning().noquote() << p;
    QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("%1 problem(s), see the warnings above").arg(problems.size())));
}

QTEST_APPLESS_MAIN(TestLunarLibLunar)
#include "tst_lunar_liblunar.moc"
