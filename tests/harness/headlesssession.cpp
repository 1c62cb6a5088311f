#include "harness/headlesssession.h"

#include "platform/qcopchannel.h"

#include <algorithm>
#include <thread>

using namespace std::chrono_literals;

Xvfb::Xvfb(const std::string& geometry, Reach reach)
{
    const bool tcp = reach == Reach::Tcp;
    m_server = std::make_unique<ChildProcess>(
            std::vector<std::string> { "Xvfb", "-displayfd", "1", "-screen", "0", geometry, tcp ? "-listen" : "-nolisten", "tcp" },
            true);
    const auto line = m_server->expect("\n", 0);
    std::string number = m_server->text().substr(0, line.end - 1);
    m_display = (tcp ? "127.0.0.1:" : ":") + number;
}

std::string lockWindow()
{
    std::string out = runToEnd({ "xdotool", "search", "--onlyvisible", "--class", "^lockapp$" });
    const size_t end = out.find('\n');
    return end == std::string::npos ? out : out.substr(0, end);
}

std::string waitVisible()
{
    for (int i = 0; i < 500; ++i) {
        std::string window = lockWindow();
        if (!window.empty())
            return window;
        std::this_thread::sleep_for(10ms);
    }
    probeDie("the lock window did not appear");
}

bool hiddenWithin(std::chrono::milliseconds timeout)
{
    const auto deadline = ProbeClock::now() + timeout;
    do {
        if (lockWindow().empty())
            return true;
        std::this_thread::sleep_for(10ms);
    } while (ProbeClock::now() < deadline);
    return false;
}

namespace {
int retries = 0;
}

int unlockRetries()
{
    return retries;
}

// An earlier cycle's unlock time-out may disarm the key between the two
// (every pending time-out clears the armed state): then the pair is typed again.
void unlock(ChildProcess& lockapp, size_t from)
{
    const std::string window = waitVisible();
    runToEnd({ "xdotool", "windowfocus", "--sync", window });
    for (int attempt = 0; attempt < 5; ++attempt) {
        const size_t mark = std::max(from, lockapp.size());
        runToEnd({ "xdotool", "key", "--clearmodifiers", "Return" });
        lockapp.expect("keyCode:4100\n", mark);
        runToEnd({ "xdotool", "key", "--clearmodifiers", "KP_Multiply" });
        lockapp.expect("keyCode:42\n", mark);
        if (hiddenWithin(500ms))
            return;
        ++retries;
    }
    probeDie("the lock window did not disappear after five unlocks");
}

PrivateBus::PrivateBus()
{
    m_daemon = std::make_unique<ChildProcess>(
            std::vector<std::string> { "dbus-daemon", "--session", "--nofork", "--print-address=1" }, true);
    const auto line = m_daemon->expect("\n", 0);
    m_address = m_daemon->text().substr(0, line.end - 1);
    m_name = QString::fromStdString("benchprobe-" + std::to_string(m_daemon->pid()));
    if (!QDBusConnection::connectToBus(QString::fromStdString(m_address), m_name).isConnected())
        probeDie("cannot connect to the private bus at " + m_address);
}

PrivateBus::~PrivateBus()
{
    QDBusConnection::disconnectFromBus(m_name);
}

QDBusConnection PrivateBus::connection() const
{
    return QDBusConnection(m_name);
}

void sendOverBus(const char* message)
{
    if (!QCopChannel::send("EZX/System", message))
        probeDie(std::string("cannot send ") + message + " on the session bus");
}

void sendOverBus(const char* message, const QDBusConnection& bus)
{
    if (!QCopChannel::send(bus, "EZX/System", message, QByteArray()))
        probeDie(std::string("cannot send ") + message + " on a private bus");
}
