#pragma once

#include <QMap>
#include <QObject>
#include <QString>

class BridgeLog;
class BusLink;
class BusNameOwner;
class DisplayRelay;
class QDBusConnection;
class QDBusMessage;

// The desktop's screen-saver service on the session bus, under either of its
// two names (org.freedesktop.ScreenSaver, org.gnome.ScreenSaver), also on
// Wayland desktops: ActiveChanged(true) blanks ("LCDOff"), false unblanks
// ("LCDOn"). Only the signal with exactly one boolean, sent by the name's
// current owner, counts; a service that leaves while active counts as
// inactive. A service that starts after the bridge, or is restarted, is
// picked up by its bus name, and a session bus that comes back is listened
// to again.
class ScreenSaverSource : public QObject
{
    Q_OBJECT
public:
    static const char* const Name;  // "screensaver"

    ScreenSaverSource(BusLink& bus, DisplayRelay& relay, BridgeLog& log, QObject* parent = nullptr);

    // Listens from now on. False, with why set, when there is no session bus
    // to try; true otherwise, with why set when the bus cannot be reached yet
    // or neither service is on it.
    bool start(QString* why);

private slots:
    void onActiveChanged(const QDBusMessage& message);

private:
    void subscribe(QDBusConnection bus, const QString& service);
    void onAppeared(BusNameOwner* owner);
    void onVanished(BusNameOwner* owner);

    BusLink& m_bus;
    DisplayRelay& m_relay;
    BridgeLog& m_log;
    QMap<QString, BusNameOwner*> m_owners;  // by service name, which is also its interface
    QMap<QString, bool> m_active;
};
