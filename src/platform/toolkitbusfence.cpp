#include "platform/toolkitbusfence.h"

#include <QAccessible>
#include <QDBusConnection>
#include <QThread>

namespace {
// Not a transport libdbus knows: a connect to it fails at once, starting
// nothing.
const QByteArray NoBus = QByteArrayLiteral("disabled:");
} // namespace

ToolkitBusFence::ToolkitBusFence()
    : m_sessionAddress(replace("DBUS_SESSION_BUS_ADDRESS", NoBus))
    // An accessibility bus named here would be connected to in place of the
    // session bus, with the same lack of bounds.
    , m_accessibilityAddress(replace("AT_SPI_BUS_ADDRESS", NoBus))
{
}

ToolkitBusFence::~ToolkitBusFence()
{
    restoreAll();
}

bool ToolkitBusFence::settle()
{
    QThread probe;
    probe.start();
    const bool threadsStart = probe.isRunning();
    probe.quit();
    probe.wait();
    if (threadsStart) {
        // Asking whether accessibility is active makes the platform's bridge.
        QAccessible::isActive();
        QDBusConnection::sessionBus();
    }
    restoreAll();
    return threadsStart;
}

ToolkitBusFence::Saved ToolkitBusFence::replace(const char* name, const QByteArray& value)
{
    Saved saved { qEnvironmentVariableIsSet(name), qgetenv(name) };
    qputenv(name, value);
    return saved;
}

void ToolkitBusFence::restore(const char* name, const Saved& saved)
{
    if (saved.set)
        qputenv(name, saved.value);
    else
        qunsetenv(name);
}

void ToolkitBusFence::restoreAll()
{
    if (m_restored)
        return;
    m_restored = true;
    restore("DBUS_SESSION_BUS_ADDRESS", m_sessionAddress);
    restore("AT_SPI_BUS_ADDRESS", m_accessibilityAddress);
}
