#pragma once

#include <QImage>
#include <QString>
#include <QVector>

// One image of a bundled skin: its file name inside the skin folder (as
// named in that skin's skin.cfg) and how it is drawn.
struct SkinImage {
    QString fileName;
    QImage (*draw)();
};

struct SkinArt {
    QString folder;  // folder name under skin/
    QVector<SkinImage> images;
};

// The artwork of every bundled skin.
QVector<SkinArt> bundledSkins();
