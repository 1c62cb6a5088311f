#pragma once

#include <QObject>
#include <QString>

class BridgeLog;
class BusLink;
class BusNameOwner;
class DisplayRelay;
class QDBusConnection;
class QDBusMessage;
class QDBusPendingCallWatcher;

// lockapp itself on the session bus: its name org.lockapp.LockScreen and the
// Shown property and ShownChanged(b) signal of /org/lockapp/LockScreen.
// Tells the relay when lockapp appears (with Shown as read then), when Shown
// changes and when lockapp leaves, on every connection of the link.
class LockScreenWatch : public QObject
{
    Q_OBJECT
public:
    static const char* const Name;  // "lockscreen"

    LockScreenWatch(BusLink& bus, DisplayRelay& relay, BridgeLog& log, QObject* parent = nullptr);

    // Follows lockapp from now on: on the link's connection if there is
    // one, and on every new one.
    void start();

private slots:
    void subscribe(QDBusConnection bus);
    void onAppeared();
    void onVanished();
    void onShownChanged(const QDBusMessage& message);
    void onShownRead(QDBusPendingCallWatcher* call);

private:
    BusLink& m_bus;
    DisplayRelay& m_relay;
    BridgeLog& m_log;
    BusNameOwner* m_owner;
    QDBusPendingCallWatcher* m_reading = nullptr;
};
