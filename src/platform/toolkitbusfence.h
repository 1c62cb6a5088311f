#pragma once

#include <QByteArray>

// Keeps the toolkit's own users of the session bus off it. The chief one, the
// accessibility bridge (which a keypad lock screen does not serve), is made
// when a window first shows or the event loop starts; it connects on the main
// thread without any bound, behind any connect in progress on the toolkit's
// bus thread (a bus that answers the first step of the handshake and then
// stalls holds it for good), and without an address it starts a bus of its
// own. Before the application object exists it is handed an address that
// fails at once; settle() then makes the bridge and the toolkit's default
// session connection while that address is in force. The toolkit keeps that
// failed connection, and every later user gets it. The lock screen's own
// link (BusLink) reaches the bus at the address the environment gives.
// ZApplication puts one around the making of its QApplication part.
class ToolkitBusFence
{
public:
    // Call before the application object exists.
    ToolkitBusFence();
    // Gives the environment its addresses back (settle() not called: the
    // toolkit may still reach the bus).
    ~ToolkitBusFence();
    Q_DISABLE_COPY_MOVE(ToolkitBusFence)

    // Call once the application object exists, before anything connects to
    // the session bus: the toolkit's users are made now, on the failing
    // address, and the environment gets its addresses back. False (and
    // nothing made) when no thread can be started (the process's limits on
    // memory or threads): the toolkit's bus thread could not start either,
    // and every use of the bus from the main thread would wait for it for
    // ever.
    bool settle();

private:
    struct Saved
    {
        bool set = false;
        QByteArray value;
    };
    static Saved replace(const char* name, const QByteArray& value);
    static void restore(const char* name, const Saved& saved);
    void restoreAll();

    Saved m_sessionAddress;
    Saved m_accessibilityAddress;
    bool m_restored = false;
};
