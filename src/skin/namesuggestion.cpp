#include "namesuggestion.h"

#include <QList>

#include <algorithm>

namespace {

// Edit distance with swaps of neighbours (optimal string alignment).
int editDistance(const QString& a, const QString& b)
{
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    QList<QList<int>> d(n + 1, QList<int>(m + 1, 0));
    for (qsizetype i = 0; i <= n; ++i)
        d[i][0] = int(i);
    for (qsizetype j = 0; j <= m; ++j)
        d[0][j] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({ d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost });
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[n][m];
}

int allowedEdits(const QString& name)
{
    if (name.size() <= 3)
        return 0;
    if (name.size() <= 5)
        return 1;
    return 2;
}

} // namespace

QString closestName(const QString& name, const QStringList& candidates, int maxEdits)
{
    for (const QString& candidate : candidates)
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;

    const QString folded = name.toLower();
    QString best;
    int bestDistance = (maxEdits >= 0 ? maxEdits : allowedEdits(name)) + 1;
    for (const QString& candidate : candidates) {
        const int distance = editDistance(folded, candidate.toLower());
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}
