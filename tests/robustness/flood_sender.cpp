// Sends a burst of channel messages from a process of its own.
//   flood_sender FILE
// FILE holds one message a line, "CHANNEL<TAB>NAME". Each is sent as the
// channel's broadcast signal without waiting for the bus in between; one
// blocking round trip at the end makes sure the bus has taken them all
// before the process exits. Prints the number sent.
#include "platform/qcopchannel.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: flood_sender FILE\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "flood_sender: cannot read %s\n", argv[1]);
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "flood_sender: no session bus\n");
        return 1;
    }
    QByteArray lines = file.readAll();
    if (lines.endsWith('\n'))
        lines.chop(1);
    int sent = 0;
    for (const QByteArray& line : lines.split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0)
            continue;
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(QCopChannel::ObjectPath),
                                                         QString::fromLatin1(QCopChannel::Interface),
                                                         QString::fromLatin1(QCopChannel::Member));
        signal << QString::fromUtf8(line.left(tab)) << QString::fromUtf8(line.mid(tab + 1)) << QByteArray();
        if (!bus.send(signal)) {
            std::fprintf(stderr, "flood_sender: the bus refused message %d\n", sent + 1);
            return 1;
        }
        ++sent;
    }
    // Answered only after everything queued before it has been written out.
    if (!bus.interface() || !bus.interface()->isServiceRegistered(bus.baseService()).isValid()) {
        std::fprintf(stderr, "flood_sender: no answer from the bus\n");
        return 1;
    }
    std::printf("%d\n", sent);
    return 0;
}
