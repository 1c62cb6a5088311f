// skinart: draws the images of the bundled skins into a skin folder.
// Usage: skinart SKIN_DIR   (normally the repository's skin/ folder)
// Regenerating an unchanged skin on one machine leaves its files byte for byte
// the same; another toolkit build may draw a few edge pixels one level apart.

#include "skins.h"

#include <QDir>
#include <QImageWriter>

#include <cstdio>

namespace {

bool writePng(const QImage& image, const QString& path)
{
    QImageWriter writer(path, "png");
    writer.setQuality(0); // for PNG: smallest file; the pixels are lossless anyway
    if (writer.write(image))
        return true;
    std::fprintf(stderr, "skinart: cannot write %s: %s\n", qPrintable(path),
                 qPrintable(writer.errorString()));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: skinart SKIN_DIR\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));

    bool ok = true;
    for (const SkinArt& skin : bundledSkins()) {
        if (!root.mkpath(skin.folder)) {
            std::fprintf(stderr, "skinart: cannot create %s\n",
                         qPrintable(root.filePath(skin.folder)));
            ok = false;
            continue;
        }
        for (const SkinImage& img : skin.images) {
            const QString path = root.filePath(skin.folder + QLatin1Char('/') + img.fileName);
            const QImage image = img.draw();
            if (writePng(image, path))
                std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
            else
                ok = false;
        }
    }
    return ok ? 0 : 1;
}
