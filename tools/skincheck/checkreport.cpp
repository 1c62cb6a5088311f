#include "skincheck/checkreport.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <numeric>

QString shownText(const QString& text)
{
    const QString kept = text.size() <= LongestShownText ? text : text.left(LongestShownText - 20);
    // Control characters written as escapes: a NUL or a line end in a value
    // must not cut or forge a line of the report.
    QString shown;
    shown.reserve(kept.size());
    for (const QChar c : kept) {
        if (c.unicode() == 0)
            shown += QLatin1String("\\0");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    if (kept.size() < text.size())
        shown += QStringLiteral("... (%1 characters)").arg(text.size());
    return shown;
}

QString CheckDiagnostic::toString() const
{
    return file + QLatin1Char(':') + QString::number(line)
           + (severity == Error ? QLatin1String(": error: ") : QLatin1String(": warning: ")) + message;
}

void CheckReport::error(const QString& file, int line, const QString& message)
{
    add(file, line, CheckDiagnostic::Error, message);
}

void CheckReport::warning(const QString& file, int line, const QString& message)
{
    add(file, line, CheckDiagnostic::Warning, message);
}

void CheckReport::add(const QString& file, int line, CheckDiagnostic::Severity severity, const QString& message)
{
    m_items.append({ file, line, severity, message });
}

QList<CheckDiagnostic> CheckReport::diagnostics() const
{
    // Each file's rank is looked up once per finding, not once per
    // comparison: a report may hold a hundred thousand findings.
    QHash<QString, qsizetype> fileRank;
    QList<qsizetype> ranks;
    ranks.reserve(m_items.size());
    for (const CheckDiagnostic& d : m_items) {
        auto rank = fileRank.constFind(d.file);
        if (rank == fileRank.cend())
            rank = fileRank.insert(d.file, fileRank.size());
        ranks.append(*rank);
    }
    QList<qsizetype> order(m_items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return ranks[a] != ranks[b] ? ranks[a] < ranks[b] : m_items[a].line < m_items[b].line;
    });
    QList<CheckDiagnostic> sorted;
    sorted.reserve(m_items.size());
    for (const qsizetype i : std::as_const(order))
        sorted.append(m_items[i]);
    return sorted;
}

int CheckReport::errorCount() const
{
    return int(std::count_if(m_items.cbegin(), m_items.cend(),
                             [](const CheckDiagnostic& d) { return d.severity == CheckDiagnostic::Error; }));
}

int CheckReport::warningCount() const
{
    return int(m_items.size()) - errorCount();
}

QString CheckReport::summary() const
{
    const int errors = errorCount();
    const int warnings = warningCount();
    QStringList parts;
    if (errors > 0)
        parts.append(errors == 1 ? QStringLiteral("1 error") : QStringLiteral("%1 errors").arg(errors));
    if (warnings > 0)
        parts.append(warnings == 1 ? QStringLiteral("1 warning") : QStringLiteral("%1 warnings").arg(warnings));
    return parts.isEmpty() ? QStringLiteral("no problems") : parts.join(QLatin1String(", "));
}
