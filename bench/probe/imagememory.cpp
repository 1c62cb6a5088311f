// Peak memory of the real lockapp with huge skin images: the classic skin
// with its background or its face replaced by a generated PNG, in a program
// folder of its own that holds a copy of lockapp.
#include "modes.h"

#include "benchstats.h"
#include "harness/childprocess.h"
#include "harness/largepng.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

struct HugeImage
{
    const char* name;  // of the RESULT line
    const char* file;  // the classic skin's file it replaces
    int side;
};

// The folder: lockapp, config.cfg choosing the skin "huge", and that skin:
// the classic one with `image.file` replaced.
std::string makeProgramFolder(const QTemporaryDir& dir, const std::string& program, const HugeImage& image)
{
    const QString source = QFileInfo(QString::fromStdString(program)).absolutePath();
    const QString skin = dir.path() + QStringLiteral("/skin/huge/");
    QDir().mkpath(skin);
    const QString copy = dir.path() + QStringLiteral("/lockapp");
    if (!QFile::copy(QString::fromStdString(program), copy))
        probeDie("cannot copy " + program);
    QFile::copy(source + QStringLiteral("/config.cfg"), dir.path() + QStringLiteral("/config.cfg"));
    QFile config(dir.path() + QStringLiteral("/config.cfg"));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate) || config.write("[General]\nSkin=huge\nTimeOut=3000\n") < 0)
        probeDie("cannot write config.cfg");
    const QDir classic(source + QStringLiteral("/skin/classic"));
    for (const QString& name : classic.entryList(QDir::Files))
        QFile::copy(classic.filePath(name), skin + name);
    QFile::remove(skin + QLatin1String(image.file));
    if (!LargePng::write(skin + QLatin1String(image.file), image.side, image.side))
        probeDie(std::string("cannot write ") + image.file);
    return copy.toStdString();
}

} // namespace

int probeImageMemory(const std::string& program, int runs)
{
    const HugeImage images[] = {
        { "peak_rss_background_5600", "back.png", 5600 },
        { "peak_rss_background_6000", "back.png", 6000 },
        { "peak_rss_background_16384", "back.png", 16384 },
        { "peak_rss_face_5500", "face.png", 5500 },
    };
    for (const HugeImage& image : images) {
        QTemporaryDir dir;
        const std::string copy = makeProgramFolder(dir, program, image);
        std::vector<double> hwm;
        for (int i = 0; i < runs; ++i) {
            hwm.push_back(peakOverLockCycle(copy).vmHwmMiB);
            std::printf("SAMPLE %s run=%d VmHWM_MiB=%.2f\n", image.name, i + 1, hwm.back());
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        printResultLine(image.name, "MiB", hwm);
    }
    return 0;
}
