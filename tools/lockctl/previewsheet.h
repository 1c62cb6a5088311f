#ifndef LOCKAPP_LOCKCTL_PREVIEWSHEET_H
#define LOCKAPP_LOCKCTL_PREVIEWSHEET_H

#include <QDate>
#include <QImage>

class FramePreview;

// One picture with a grid of labelled frames for a skin author: the moments
// that show the hands in telling positions and the widest texts, each with
// the hint not armed (top row) and armed (bottom row).
QImage composePreviewSheet(FramePreview& preview, const QDate& day);

#endif // LOCKAPP_LOCKCTL_PREVIEWSHEET_H
