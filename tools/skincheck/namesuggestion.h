#pragma once

#include <QString>
#include <QStringList>

// The candidate a mistyped name was most likely meant to be, for a
// "did you mean" hint: first one that differs from it only in case, else the
// nearest within a few edits (a letter changed, added, dropped, or two
// neighbours swapped), ignoring case. A short name allows fewer edits, so
// that "DCQ" is not taken for "DCX". Null when no candidate is close; the
// first of equally close candidates wins. A `maxEdits` of 0 or more
// overrides the allowance by length.
//
// The work is bounded whatever the input: a name longer than
// LongestSuggestedName gets no suggestion, only the first MostCandidates
// candidates are looked at, and one whose length alone puts it out of reach
// is skipped.
constexpr qsizetype LongestSuggestedName = 64;
constexpr qsizetype MostCandidates = 1000;
QString closestName(const QString& name, const QStringList& candidates, int maxEdits = -1);
