#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// A delay inhibitor of sleep taken from systemd-logind: while it is held, the
// machine waits (at most logind's InhibitDelayMaxSec) before it sleeps. It is
// the file descriptor logind hands out; closing it releases the inhibitor.
class SleepInhibitor : public QObject
{
    Q_OBJECT
public:
    SleepInhibitor(QDBusConnection systemBus, QObject* parent = nullptr);
    ~SleepInhibitor() override;

    // Asks logind for an inhibitor, unless one is held or asked for already.
    // The answer comes later: taken() or failed().
    void take();
    // Closes the inhibitor, or drops the answer to a request still open.
    // True when one was held.
    bool release();

    bool isHeld() const { return m_fd >= 0; }

signals:
    void taken();
    void failed(const QString& why);

private slots:
    void onReply(QDBusPendingCallWatcher* call);

private:
    QDBusConnection m_bus;
    int m_fd = -1;
    QDBusPendingCallWatcher* m_pending = nullptr;
};
