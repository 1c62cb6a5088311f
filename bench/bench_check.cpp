// lockctl check against lockapp's own read of the same file: a generated
// 1 MiB skin.cfg of distinct groups (and any other files given). Prints, per
// file, the median of several runs of each and their ratio, the figure the
// performance page records:
//     bench_check [RUNS]
#include "checkcommand.h"

#include "platform/zconfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A skin.cfg of just under 1 MiB made of distinct empty groups, then the
// classic skin's keys (so that the check still finds a skin to judge).
QByteArray distinctGroups()
{
    QByteArray text;
    for (int i = 0; text.size() < 1024 * 1024 - 64; ++i)
        text += "[g" + QByteArray::number(i) + "]\n";
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 5;

    QTemporaryDir dir;
    const QString appDir = dir.path() + QLatin1Char('/');
    QDir().mkpath(appDir + QLatin1String("skin/big"));
    QFile config(appDir + QLatin1String("config.cfg"));
    QFile skin(appDir + QLatin1String("skin/big/skin.cfg"));
    const QByteArray groups = distinctGroups();
    if (!config.open(QIODevice::WriteOnly) || config.write("[General]\nSkin=big\nTimeOut=3000\n") < 0
        || !skin.open(QIODevice::WriteOnly) || skin.write(groups) != groups.size()) {
        std::fprintf(stderr, "bench_check: cannot write the files in %s\n", qPrintable(appDir));
        return 1;
    }
    config.close();
    skin.close();

    std::vector<double> readMs;
    std::vector<double> checkMs;
    qsizetype reportBytes = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        {
            // What lockapp does with the file: config.cfg, then skin.cfg.
            const ZConfig settings(appDir + QLatin1String("config.cfg"));
            const ZConfig skinSettings(appDir + QLatin1String("skin/big/skin.cfg"));
        }
        readMs.push_back(timer.nsecsElapsed() / 1e6);

        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        timer.restart();
        runCheckCommand({ QStringLiteral("--app-dir"), appDir }, outStream, errStream);
        outStream.flush();
        checkMs.push_back(timer.nsecsElapsed() / 1e6);
        reportBytes = out.toUtf8().size();
    }
    const double read = median(readMs);
    const double check = median(checkMs);
    std::printf("skin.cfg of %lld bytes in %lld distinct groups, median of %d runs:\n",
                static_cast<long long>(groups.size()), static_cast<long long>(groups.count('\n')), runs);
    std::printf("  lockapp's read (config.cfg and skin.cfg): %.1f ms\n", read);
    std::printf("  lockctl check (report of %lld bytes):    %.1f ms\n", static_cast<long long>(reportBytes), check);
    std::printf("  ratio check / read: %.2f\n", check / read);
    return 0;
}
