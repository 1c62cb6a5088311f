#include "platform/lockscreenstatus.h"

const char* const LockScreenStatus::ObjectPath = "/org/lockapp/LockScreen";
const char* const LockScreenStatus::Interface = "org.lockapp.LockScreen";

LockScreenStatus::LockScreenStatus(QObject* parent)
    : QObject(parent)
{
}

bool LockScreenStatus::publishOn(QDBusConnection bus)
{
    if (!bus.isConnected())
        return false;
    // The toolkit sends the scriptable signal on every connection the object
    // is registered on; a connection that is gone simply drops out.
    return bus.registerObject(QString::fromLatin1(ObjectPath), this,
                              QDBusConnection::ExportScriptableSignals | QDBusConnection::ExportScriptableProperties);
}

void LockScreenStatus::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    emit ShownChanged(shown);
}
