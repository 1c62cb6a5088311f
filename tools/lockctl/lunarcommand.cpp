#include "lunarcommand.h"

#include "command.h"
#include "lunar/lunarcalendar.h"

#include <QDate>

namespace {

// Parses exactly "YYYY-MM-DD" (ASCII digits). Sets *malformed when the text
// has another form; returns an invalid QDate for a form that names no real
// calendar date (2021-02-30, 0000-01-01).
QDate parseDate(const QString& text, bool* malformed)
{
    *malformed = true;
    if (text.size() != 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-'))
        return QDate();
    int fields[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int f = 0; f < 3; ++f) {
        for (int i = starts[f]; i < starts[f] + lengths[f]; ++i) {
            const ushort c = text.at(i).unicode();
            if (c < '0' || c > '9')
                return QDate();
            fields[f] = fields[f] * 10 + (c - '0');
        }
    }
    *malformed = false;
    if (fields[0] < 1)
        return QDate();  // QDate would take 0000 as 1 BCE
    return QDate(fields[0], fields[1], fields[2]);
}

// Appends "YYYY-MM-DD" for a date with a year 1..9999.
void appendIsoDate(QString& line, const QDate& date)
{
    int y = date.year();
    const int m = date.month();
    const int d = date.day();
    QChar digits[10];
    digits[3] = QLatin1Char(char('0' + y % 10)); y /= 10;
    digits[2] = QLatin1Char(char('0' + y % 10)); y /= 10;
    digits[1] = QLatin1Char(char('0' + y % 10)); y /= 10;
    digits[0] = QLatin1Char(char('0' + y % 10));
    digits[4] = QLatin1Char('-');
    digits[5] = QLatin1Char(char('0' + m / 10));
    digits[6] = QLatin1Char(char('0' + m % 10));
    digits[7] = QLatin1Char('-');
    digits[8] = QLatin1Char(char('0' + d / 10));
    digits[9] = QLatin1Char(char('0' + d % 10));
    line.append(digits, 10);
}


QString lunarCommandUsage()
{
    return QStringLiteral(
        "usage: lockctl lunar FROM [TO]\n"
        "\n"
        "Prints the Chinese lunar date text the lock screen shows, one line per\n"
        "date from FROM through TO inclusive (TO defaults to FROM):\n"
        "\n"
        "    YYYY-MM-DD<TAB>TEXT\n"
        "\n"
        "TEXT is UTF-8, e.g. 鼠(庚子)年闰四月初一, and empty for dates outside\n"
        "1900-01-31 .. 2100-12-31. Dates are written YYYY-MM-DD (years 0001-9999).\n"
        "A malformed date, a date that does not exist (2021-02-30) or TO before\n"
        "FROM is a usage error: a message on standard error and exit code 2.\n");
}

} // namespace

const lockctl::CommandSyntax lunarCommandSyntax{ "lunar", lunarCommandUsage, "dates as YYYY-MM-DD" };

int runLunarCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.size() == 1 && lockctl::CommandSyntax::isHelpOption(args.at(0)))
        return lunarCommandSyntax.writeHelp(out);
    if (args.isEmpty() || args.size() > 2)
        return lunarCommandSyntax.usageError(err,
            QStringLiteral("expected FROM [TO], got %1 argument(s)").arg(args.size()));

    QDate dates[2];
    for (int i = 0; i < args.size(); ++i) {
        bool malformed = false;
        dates[i] = parseDate(args.at(i), &malformed);
        if (malformed)
            return lunarCommandSyntax.usageError(err,
                QStringLiteral("'%1' is not a date of the form YYYY-MM-DD").arg(args.at(i)));
        if (!dates[i].isValid())
            return lunarCommandSyntax.usageError(err, QStringLiteral("'%1' is not a calendar date").arg(args.at(i)));
    }
    const QDate from = dates[0];
    const QDate to = args.size() == 2 ? dates[1] : from;
    if (to < from)
        return lunarCommandSyntax.usageError(err,
            QStringLiteral("TO (%1) is before FROM (%2)").arg(args.at(1), args.at(0)));

    QString raw;
    QString line;
    for (qint64 day = from.toJulianDay(); day <= to.toJulianDay(); ++day) {
        const QDate date = QDate::fromJulianDay(day);
        const tagDate lunarDate{date.day(), date.month(), date.year()};
        GetDayOf(lunarDate, raw);
        line.clear();
        appendIsoDate(line, date);
        line.append(QLatin1Char('\t'));
        line.append(QString::fromUtf8(raw.toLatin1()));
        line.append(QLatin1Char('\n'));
        out << line;
    }
    out.flush();
    return lockctl::ExitOk;
}
