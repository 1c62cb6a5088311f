#include "checkreport.h"

#include <QStringList>

#include <algorithm>

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
    QStringList files;
    for (const CheckDiagnostic& d : m_items)
        if (!files.contains(d.file))
            files.append(d.file);
    QList<CheckDiagnostic> sorted = m_items;
    std::stable_sort(sorted.begin(), sorted.end(), [&files](const CheckDiagnostic& a, const CheckDiagnostic& b) {
        const qsizetype fileA = files.indexOf(a.file);
        const qsizetype fileB = files.indexOf(b.file);
        return fileA != fileB ? fileA < fileB : a.line < b.line;
    });
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
