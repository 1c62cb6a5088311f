#pragma once

#include <QDBusConnection>
#include <QObject>

// Whether the lock screen is shown, published on the session bus beside the
// lock screen's name, so that a client (lockctl bridge) learns it from the
// lock screen itself rather than from what it last sent:
//   object /org/lockapp/LockScreen, interface org.lockapp.LockScreen,
//   read-only property Shown (b), signal ShownChanged(b).
// Shown turns true when the window is raised and false when it is unlocked.
class LockScreenStatus : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.lockapp.LockScreen")
    Q_PROPERTY(bool Shown READ isShown)
public:
    static const char* const ObjectPath;
    static const char* const Interface;

    explicit LockScreenStatus(QObject* parent = nullptr);

    // Puts the object on the connection; call again on every new connection
    // (a bus that came late or came back). False when the bus refused it.
    bool publishOn(QDBusConnection bus);

    bool isShown() const { return m_shown; }
    // Emits ShownChanged on the bus when the value changes.
    void setShown(bool shown);

signals:
    Q_SCRIPTABLE void ShownChanged(bool shown);

private:
    bool m_shown = false;
};
