#pragma once

#include <QDate>
#include <QImage>
#include <QStringList>

class FramePreview;
class QDateTime;
class QTime;

// The local time a frame shows for `moment` of `day`: the moment itself, or,
// where the clocks skip it (a change to summer time at midnight), the first
// second after the gap. Invalid when the rest of the day is skipped.
QDateTime shownLocalTime(const QDate& day, const QTime& moment);

// One picture with a grid of labelled frames for a skin author: the moments
// that show the hands in telling positions and the widest texts, each with
// the hint not armed (top row) and armed (bottom row). Each frame is labelled
// with the local time it shows; a moment the clocks skip that day is shown at
// the first second after the gap, and *moved gets a sentence saying so.
QImage composePreviewSheet(FramePreview& preview, const QDate& day, QStringList* moved = nullptr);
