// Prints a digest of composed frames over a spread of times, hint states and
// the bundled skins, one line per frame: a change meant to leave every pixel
// as it was is checked by comparing this output before and after it.
//   framedigest APP_DIR
#include "app/framepreview.h"
#include "platform/zapplication.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QImage>

#include <cstdio>
#include <ctime>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: framedigest APP_DIR\n");
        return 2;
    }
    ZApplication::useOffscreenPhoneScreen();
    qputenv("TZ", "UTC");
    tzset();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    // 1900-01-01 .. 2101-01-01 in uneven steps, so seconds, minutes, hours,
    // days and lunar months all vary; then one day second by second around
    // midnight and noon.
    std::vector<time_t> times;
    for (time_t t = -2208988800LL; t < 4133980800LL; t += 9876543)
        times.push_back(t);
    for (time_t t = 1772841540; t < 1772841540 + 120; ++t)
        times.push_back(t);
    for (time_t t = 1772884740; t < 1772884740 + 120; ++t)
        times.push_back(t);

    for (const char* skin : { "classic", "night" }) {
        FramePreview preview(QString::fromLocal8Bit(argv[1]), QString::fromLatin1(skin));
        for (time_t t : times) {
            for (bool armed : { false, true }) {
                const QImage frame = preview.frame(t, armed).convertToFormat(QImage::Format_ARGB32);
                QCryptographicHash hash(QCryptographicHash::Sha1);
                hash.addData(QByteArrayView(reinterpret_cast<const char*>(frame.constBits()), frame.sizeInBytes()));
                std::printf("%s %lld %d %dx%d %s\n", skin, static_cast<long long>(t), armed ? 1 : 0, frame.width(),
                            frame.height(), hash.result().toHex().constData());
            }
        }
    }
    return 0;
}
