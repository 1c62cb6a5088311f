#pragma once

#include "harness/childprocess.h"

#include <QDBusConnection>

#include <memory>
#include <string>

// A lock cycle driven from outside, as the end-to-end tests and the
// benchmarks drive the real lockapp: an Xvfb of the phone's size, the lock
// window as the X server sees it, keys typed through it, and messages on the
// session bus.

// An Xvfb on a free display; ends with the object. Reached by clients over a
// Unix-domain socket, or over TCP as a server on another machine would be.
class Xvfb
{
public:
    enum class Reach { Local, Tcp };
    explicit Xvfb(const std::string& geometry = "240x320x24", Reach reach = Reach::Local);
    // ":N" (or "127.0.0.1:N" over TCP), for DISPLAY.
    const std::string& display() const { return m_display; }
    pid_t pid() const { return m_server->pid(); }

private:
    std::unique_ptr<ChildProcess> m_server;
    std::string m_display;
};

// The visible lock window on $DISPLAY, or "" when there is none.
std::string lockWindow();
std::string waitVisible();
bool hiddenWithin(std::chrono::milliseconds timeout);
// Return (arms), then the keypad star (unlocks), typed through the X server;
// output past `from` shows the keys arriving.
void unlock(ChildProcess& lockapp, size_t from);
// How many times a Return/star pair had to be typed again.
int unlockRetries();
// A session bus of its own (dbus-daemon); ends with the object. One lock
// screen runs per bus, so a second lockapp measured beside the first needs one.
class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    // For DBUS_SESSION_BUS_ADDRESS.
    const std::string& address() const { return m_address; }
    QDBusConnection connection() const;

private:
    std::unique_ptr<ChildProcess> m_daemon;
    std::string m_address;
    QString m_name;
};

// One message on "EZX/System" sent over the session bus, or over `bus`, to a
// lock screen in another process; returns once it is sent.
void sendOverBus(const char* message);
void sendOverBus(const char* message, const QDBusConnection& bus);
