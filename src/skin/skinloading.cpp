#include "skin/skinloading.h"

#include "skin/imageprobe.h"
#include "skin/skinfolder.h"
#include "skin/skinkeys.h"
#include "skin/visibleparts.h"

#include "platform/diagnostics.h"

#include <QFile>

#include <cstring>

namespace {
// A file that is there but cannot be read (no permission, no descriptor
// left, a failing disk) is not a skin author's choice the way a missing one
// may be: it is said, with the system's reason.
void sayWhyUnreadable(const QString& path, const ImageProbe& image)
{
    if (image.outcome != ImageProbe::Unreadable)
        return;
    writeWarning("warning: cannot read the image " + escapedForLine(QFile::encodeName(path)) + ": "
                 + QByteArray(image.error != 0 ? std::strerror(image.error) : "read failed")
                 + "; it is left out\n");
}

// An image as the lock screen takes it: one that cannot be loaded stays
// empty; one too large to be loaded, or one that cannot be read, is also
// said, which a blank screen would not.
ImageProbe loadImage(const QString& path, const ImageProbe::VisiblePart& visible)
{
    ImageProbe image = ImageProbe::of(path, visible);
    sayWhyUnreadable(path, image);
    if (image.outcome == ImageProbe::TooLarge) {
        const QByteArray limit = image.limitMiB > 0
                ? "the image allocation limit of " + QByteArray::number(image.limitMiB) + " MiB"
                : QByteArray::number(ImageProbe::MaxSide) + " x " + QByteArray::number(ImageProbe::MaxSide) + " pixels";
        writeWarning("warning: " + escapedForLine(QFile::encodeName(path)) + " is " + QByteArray::number(image.size.width()) + " x "
                     + QByteArray::number(image.size.height()) + " pixels, beyond " + limit
                     + "; it is left out\n");
    }
    if (image.outcome != ImageProbe::Loaded)
        image.size = QSize(0, 0);
    return image;
}
} // namespace

SkinSettingsRead readSkinSettings(const QString& appDir, const QString& skin)
{
    SkinSettingsRead read;
    read.reader = std::make_unique<ZConfig>(appDir + QLatin1String("config.cfg"), true);
    const QString selected = skin.isNull()
            ? read.reader->readEntry(QStringLiteral("General"), QStringLiteral("Skin"), QString())
            : skin;
    read.settings.timeOut = read.reader->readNumEntry(QStringLiteral("General"), QStringLiteral("TimeOut"), -1);

    // A plain concatenation: an absent Skin gives ".../skin//".
    read.folder = skinFolder(appDir, selected);

    // Replacing the reader releases the settings file's.
    read.reader = std::make_unique<ZConfig>(read.folder + QLatin1String("skin.cfg"), true);
    for (const SkinKey& key : skinFileKeys()) {
        const QString group = QString::fromLatin1(key.group);
        const QString name = QString::fromLatin1(key.key);
        if (key.kind == SkinKey::Integer)
            read.settings.*key.intField = read.reader->readNumEntry(group, name, key.defaultNumber);
        else
            read.settings.*key.textField = read.reader->readEntry(group, name, QString());
    }
    return read;
}

SkinImages loadSkinImages(const QString& folder, const SkinSettings& settings, QSize screen)
{
    SkinImages images;
    images.background =
            QPixmap::fromImage(loadImage(folder + settings.background, VisibleParts::background(screen)).image);

    const ImageProbe face =
            loadImage(folder + settings.clockImage, VisibleParts::face(settings.clockLeft, settings.clockTop, screen));
    images.face = QPixmap::fromImage(face.image);
    images.facePart = { face.size, face.offset };
    images.placement = ClockPlacement::of(settings.clockLeft, settings.clockTop, face.size);

    const ImageProbe cap = loadImage(folder + settings.clockCenter,
                                     VisibleParts::cap(images.placement, face.size, screen));
    images.cap = QPixmap::fromImage(cap.image);
    images.capPart = { cap.size, cap.offset };
    return images;
}

LoadedSkin loadSkin(const QString& appDir, const QString& skin, QSize screen)
{
    LoadedSkin loaded;
    loaded.read = readSkinSettings(appDir, skin);
    loaded.images = loadSkinImages(loaded.read.folder, loaded.read.settings, screen);
    return loaded;
}
