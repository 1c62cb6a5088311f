#include "systemmessage.h"

#include "platform/qcopchannel.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

bool sendToChannel(const QCString& message, const QByteArray& data)
{
    // The bus thread posts the deliveries of one message to the receivers in
    // this process one by one, in no set order, so the witness may hear it
    // before the window does. A second message on a channel of our own is
    // handled by the bus thread only after every delivery of the first was
    // posted: once it arrives, the window has had its message.
    QCopChannel witness("EZX/System");
    QCopChannel marker("lockapp-test/sync");
    int seen = 0;
    bool synced = false;
    QObject::connect(&witness, &QCopChannel::received, [&] { ++seen; });
    QObject::connect(&marker, &QCopChannel::received, [&] { synced = true; });
    if (!QCopChannel::send("EZX/System", message, data) || !QCopChannel::send("lockapp-test/sync", "sync"))
        return false;
    QDeadlineTimer deadline(10000);
    while (!synced && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    // Let whatever the window posted (a repaint) run too.
    QCoreApplication::processEvents();
    return synced && seen == 1;
}
