// A second process on the bus for the channel tests.
//   channel_peer listen CHANNEL COUNT   prints "ready", then one line per
//                                       message ("NAME<TAB>HEXDATA"), and
//                                       exits after COUNT messages (or 30 s)
//   channel_peer send CHANNEL NAME [DATA]
#include "platform/qcopchannel.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == "listen") {
        QCopChannel channel(args[2].toUtf8());
        const int expected = args[3].toInt();
        int count = 0;
        QObject::connect(&channel, &QCopChannel::received, [&](const QCString& msg, const QByteArray& data) {
            std::printf("%s\t%s\n", msg.constData(), data.toHex().constData());
            std::fflush(stdout);
            if (++count == expected)
                app.quit();
        });
        QTimer::singleShot(30000, &app, [&] { app.exit(3); });
        std::printf("ready\n");
        std::fflush(stdout);
        return app.exec();
    }
    if (args.size() >= 4 && args[1] == "send")
        return QCopChannel::send(args[2].toUtf8(), args[3].toUtf8(), args.value(4).toUtf8()) ? 0 : 1;
    std::fprintf(stderr, "usage: channel_peer listen CHANNEL COUNT | send CHANNEL NAME [DATA]\n");
    return 2;
}
