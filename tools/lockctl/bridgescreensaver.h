#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class BridgeLog;
class DisplayRelay;
class QDBusMessage;
class QDBusServiceWatcher;

// The desktop's screen-saver service on the session bus, under either of its
// two names (org.freedesktop.ScreenSaver, org.gnome.ScreenSaver), also on
// Wayland desktops: ActiveChanged(true) blanks ("LCDOff"), false unblanks
// ("LCDOn"). A service that starts after the bridge, or is restarted, is
// picked up by its bus name.
class ScreenSaverSource : public QObject
{
    Q_OBJECT
public:
    static const char* const Name;  // "screensaver"

    ScreenSaverSource(QDBusConnection bus, DisplayRelay& relay, BridgeLog& log, QObject* parent = nullptr);

    // Subscribes to both services' signal. False, with why set, when the bus
    // cannot be reached; true otherwise, with why set when neither service is
    // on the bus yet.
    bool start(QString* why);

private slots:
    void onActiveChanged(bool active, const QDBusMessage& message);
    void onServiceRegistered(const QString& service);
    void onServiceUnregistered(const QString& service);

private:
    QDBusConnection m_bus;
    DisplayRelay& m_relay;
    BridgeLog& m_log;
    QDBusServiceWatcher* m_watcher = nullptr;
};
