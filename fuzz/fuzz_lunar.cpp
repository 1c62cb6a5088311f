// libFuzzer harness for the lunar date conversion: the first 12 bytes of the
// input are day, month and year, three ints in the machine's byte order, so
// every int value can occur. The harness traps when the result breaks what
// lunarcalendar.h promises:
// - outside 1900-01-31 .. 2100-12-31, and for a day that does not exist, the
//   text is empty;
// - inside, it is UTF-8 held one byte per QChar that decodes without error,
//   of the form ANIMAL(STEM BRANCH)年[闰]MONTH月DAY, in the lunar year of the
//   Gregorian year or the one before it.

#include "lunar/lunarcalendar.h"

#include <QDate>
#include <QRegularExpression>
#include <QString>
#include <QStringDecoder>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

const char16_t* const animals = u"鼠牛虎兔龙蛇马羊猴鸡狗猪";
const char16_t* const stems = u"甲乙丙丁戊己庚辛壬癸";
const char16_t* const branches = u"子丑寅卯辰巳午未申酉戌亥";

// "鼠(庚子)年" for lunar year 1900.
QString yearPrefix(int lunarYear)
{
    const int cycle = (lunarYear - 4) % 60;
    return QString(QChar(animals[cycle % 12])) + u'(' + QChar(stems[cycle % 10])
        + QChar(branches[cycle % 12]) + u')' + u'年';
}

bool isSupported(int day, int month, int year)
{
    // Bounds on the year first, so QDate only ever sees ordinary dates.
    if (year < 1900 || year > 2100 || !QDate::isValid(year, month, day))
        return false;
    return QDate(year, month, day) >= QDate(1900, 1, 31);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3 * sizeof(int))
        return 0;
    tagDate date;
    std::memcpy(&date.day, data, sizeof(int));
    std::memcpy(&date.month, data + sizeof(int), sizeof(int));
    std::memcpy(&date.year, data + 2 * sizeof(int), sizeof(int));

    // Earlier content must be replaced, never kept or appended to.
    QString text = QStringLiteral("stale");
    GetDayOf(date, text);

    if (!isSupported(date.day, date.month, date.year)) {
        check(text.isEmpty());
        return 0;
    }

    // One byte per QChar: Latin-1 holds them all, and they are valid UTF-8.
    check(!text.isEmpty());
    for (const QChar c : text)
        check(c.unicode() <= 0xFF);
    const QByteArray bytes = text.toLatin1();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    check(!decoder.hasError());
    check(decoded.toUtf8() == bytes);

    static const QRegularExpression form(QStringLiteral(
        "^[鼠牛虎兔龙蛇马羊猴鸡狗猪]\\([甲乙丙丁戊己庚辛壬癸][子丑寅卯辰巳午未申酉戌亥]\\)年"
        "闰?(正|二|三|四|五|六|七|八|九|十|十一|腊)月"
        "(初[一二三四五六七八九十]|十[一二三四五六七八九]|二十|廿[一二三四五六七八九]|三十)$"));
    check(form.match(decoded).hasMatch());

    // The lunar new year falls between January 21 and February 20, so the
    // lunar year is known outright for most of the Gregorian year.
    const bool sameYear = decoded.startsWith(yearPrefix(date.year));
    const bool yearBefore = decoded.startsWith(yearPrefix(date.year - 1));
    check(sameYear || yearBefore);
    if (date.month >= 3)
        check(sameYear);
    if (date.month == 1 && date.day < 21)
        check(yearBefore);

    // The working values are statics: a second call must not depend on the first.
    QString again;
    GetDayOf(date, again);
    check(again == text);
    return 0;
}
