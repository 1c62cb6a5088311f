#include "skincheck/namesuggestion.h"

#include <QList>
#include <QVarLengthArray>

#include <algorithm>

namespace {

// Edit distance with swaps of neighbours (optimal string alignment), in one
// flat table: names are short (see LongestSuggestedName), and this runs once
// per unknown name of a file that may hold a hundred thousand.
int editDistance(const QString& a, const QString& b)
{
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    const qsizetype width = m + 1;
    QVarLengthArray<int, (LongestSuggestedName + 1) * (LongestSuggestedName + 1)> d((n + 1) * width);
    const auto at = [&](qsizetype i, qsizetype j) -> int& { return d[i * width + j]; };
    for (qsizetype i = 0; i <= n; ++i)
        at(i, 0) = int(i);
    for (qsizetype j = 0; j <= m; ++j)
        at(0, j) = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            at(i, j) = std::min({ at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost });
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
        }
    }
    return at(n, m);
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
    if (name.size() > LongestSuggestedName)
        return QString();
    const QStringList considered = candidates.mid(0, MostCandidates);
    for (const QString& candidate : considered)
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;

    const QString folded = name.toLower();
    QString best;
    int bestDistance = (maxEdits >= 0 ? maxEdits : allowedEdits(name)) + 1;
    for (const QString& candidate : considered) {
        // Every edit changes the length by one at most.
        if (qAbs(candidate.size() - name.size()) >= bestDistance)
            continue;
        const int distance = editDistance(folded, candidate.toLower());
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}
