#include "appfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

AppFolder::AppFolder() = default;

void AppFolder::writeFile(const QString& relativePath, const QByteArray& contents)
{
    const QString full = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(full));
    file.write(contents);
}

void AppFolder::writeImage(const QString& relativePath, QSize size, unsigned rgb)
{
    const QString full = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QImage image(size, QImage::Format_ARGB32);
    image.fill(QColor(QRgb(rgb)));
    if (!image.save(full, "PNG"))
        qFatal("cannot save %s", qPrintable(full));
}

QByteArray AppFolder::classicSkin()
{
    return "[General]\n"
           "BACKGROUND=back.png\n"
           "[Analog]\n"
           "ClockImage=face.png\n"
           "Clockcenter=cap.png\n"
           "SecColor=16711680\n"
           "MinColor=16777215\n"
           "HourColor=16777215\n"
           "HourHeight=40\n"
           "MinHeight=60\n"
           "SecHeight=70\n"
           "HourWidth=4\n"
           "MinWidth=3\n"
           "SecWidth=1\n"
           "ClockLeft=center\n"
           "ClockTop=30\n"
           "[Digital]\n"
           "DCX=70\n"
           "DCY=235\n"
           "DCSize=20\n"
           "DCColor=16777215\n"
           "[Date]\n"
           "DateX=75\n"
           "DateY=258\n"
           "DateSize=14\n"
           "DateColor=12632256\n"
           "[Lunar]\n"
           "LunarX=40\n"
           "LunarY=280\n"
           "LunarSize=14\n"
           "LunarColor=12632256\n"
           "[Notify]\n"
           "NotifyX=20\n"
           "NotifyY=305\n"
           "NotifySize=12\n"
           "NotifyColor=16776960\n"
           "NotifyWord0=Press the centre key to unlock\n"
           "NotifyWord1=Now press the star key\n";
}

bool AppFolder::installBundledSkin(const QString& name)
{
    writeConfig("[General]\nSkin=" + name.toUtf8() + "\nTimeOut=3000\n");
    const QDir bundled(QStringLiteral(LOCKAPP_STAGE_DIR "/skin/") + name);
    QDir(m_dir.path()).mkpath(QStringLiteral("skin/") + name);
    const QStringList files = bundled.entryList(QDir::Files);
    for (const QString& file : files) {
        if (!QFile::copy(bundled.filePath(file), m_dir.path() + QStringLiteral("/skin/") + name + QLatin1Char('/') + file))
            return false;
    }
    return !files.isEmpty();
}

bool AppFolder::installClassicLockapp()
{
    writeClassic();
    if (!QFile::copy(QStringLiteral(LOCKAPP_STAGE_DIR "/lockapp"), programPath()))
        return false;
    return QFile(programPath()).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
}

void AppFolder::writeClassic(QSize background, QSize face, QSize cap)
{
    writeConfig("[General]\nSkin=classic\nTimeOut=3000\n");
    writeSkin(QStringLiteral("classic"), classicSkin());
    if (!background.isEmpty())
        writeImage(QStringLiteral("skin/classic/back.png"), background, 0x102030);
    if (!face.isEmpty())
        writeImage(QStringLiteral("skin/classic/face.png"), face, 0x808080);
    if (!cap.isEmpty())
        writeImage(QStringLiteral("skin/classic/cap.png"), cap, 0xC0C0C0);
}

void AppFolder::writeHandProbe(QSize background, QSize face, QSize cap)
{
    writeClassic(background, face, cap);
    QByteArray skin = classicSkin();
    skin.replace("ClockTop=30", "ClockTop=center");
    skin.replace("HourHeight=40", "HourHeight=50");
    skin.replace("HourColor=16777215", "HourColor=65280");
    skin.replace("MinColor=16777215", "MinColor=255");
    writeSkin(QStringLiteral("classic"), skin);
}
