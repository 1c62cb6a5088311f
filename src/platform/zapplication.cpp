#include "platform/zapplication.h"

#include "platform/buslink.h"
#include "platform/diagnostics.h"
#include "platform/lockscreenstatus.h"
#include "platform/sessionnameclaim.h"
#include "platform/toolkitbusfence.h"

#include <QEvent>
#include <QSocketNotifier>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Self-pipe: the signal handler only writes one byte; the event loop reads it
// and quits from ordinary code.
int signalPipe[2] = { -1, -1 };

// The clean end has this long after the signal. The main thread may be held
// up where it cannot see the pipe (a call into the toolkit's bus thread while
// a bus stalls it, a thread that could not be started): then the process
// ends from the timer's signal, still within a second.
constexpr long CleanEndGraceNs = 700L * 1000 * 1000;
timer_t endTimer {};
bool endTimerMade = false;
volatile sig_atomic_t endTimerArmed = 0;

extern "C" void onEndTimer(int)
{
    static const char text[] = "warning: lockapp did not end within 0.7 s of the signal to end; ending it now\n";
    [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, text, sizeof text - 1);
    ::_exit(0);
}

extern "C" void onTerminationSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] ssize_t written = ::write(signalPipe[1], &byte, 1);
    if (endTimerMade && !endTimerArmed) {
        endTimerArmed = 1;
        struct itimerspec grace = {};
        grace.it_value.tv_nsec = CleanEndGraceNs;
        ::timer_settime(endTimer, 0, &grace, nullptr);
    }
    errno = savedErrno;
}

// Without a pipe (no descriptor to spare) the event loop cannot be told:
// the signal ends the process at once, still with exit code 0.
extern "C" void onTerminationSignalWithoutPipe(int)
{
    ::_exit(0);
}

bool installTerminationHandlers()
{
    struct sigaction action = {};
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        action.sa_handler = onTerminationSignalWithoutPipe;
        sigemptyset(&action.sa_mask);
        for (int signalNumber : { SIGTERM, SIGINT, SIGHUP })
            ::sigaction(signalNumber, &action, nullptr);
        return false;
    }
    sigemptyset(&action.sa_mask);
    if (!endTimerMade) {
        action.sa_handler = onEndTimer;
        ::sigaction(SIGALRM, &action, nullptr);
        struct sigevent expiry = {};
        expiry.sigev_notify = SIGEV_SIGNAL;
        expiry.sigev_signo = SIGALRM;
        endTimerMade = ::timer_create(CLOCK_MONOTONIC, &expiry, &endTimer) == 0;
    }
    action.sa_handler = onTerminationSignal;
    action.sa_flags = SA_RESTART;
    for (int signalNumber : { SIGTERM, SIGINT, SIGHUP })
        ::sigaction(signalNumber, &action, nullptr);
    return true;
}

void restoreDefaultHandlers()
{
    for (int signalNumber : { SIGTERM, SIGINT, SIGHUP })
        ::signal(signalNumber, SIG_DFL);
    // After a signal the timer stays armed: it bounds the rest of the
    // process's clean-up too.
    if (endTimerMade && !endTimerArmed) {
        ::timer_delete(endTimer);
        endTimerMade = false;
        ::signal(SIGALRM, SIG_DFL);
    }
}

} // namespace

ZApplication::ZApplication(int& argc, char** argv, Type /*type: always a GUI client here*/)
    : ZApplication(std::make_unique<ToolkitBusFence>(), argc, argv)
{
}

ZApplication::ZApplication(std::unique_ptr<ToolkitBusFence> busFence, int& argc, char** argv)
    : QApplication(argc, argv)
{
    // Hiding the lock window after an unlock must never end the program.
    setQuitOnLastWindowClosed(false);

    if (installTerminationHandlers()) {
        m_signalNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
        connect(m_signalNotifier, &QSocketNotifier::activated, this, &ZApplication::onSignalPipeReadable);
    }
    m_threadsStart = busFence->settle();
}

ZApplication::~ZApplication()
{
    restoreDefaultHandlers();
}

void ZApplication::usePhoneScreenResolution()
{
    if (!qEnvironmentVariableIsSet("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "72");
}

void ZApplication::useOffscreenPhoneScreen()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    usePhoneScreenResolution();
}

void ZApplication::setMainWidget(QWidget* widget)
{
    if (m_mainWidget)
        m_mainWidget->removeEventFilter(this);
    m_mainWidget = widget;
    if (widget)
        widget->installEventFilter(this);
}

QWidget* ZApplication::mainWidget() const
{
    return m_mainWidget;
}

bool ZApplication::claimSession()
{
    if (!m_threadsStart) {
        writeWarning("error: lockapp cannot start a thread (are its limits on memory or threads too low?); "
                     "it cannot run\n");
        return false;
    }
    BusLink& bus = BusLink::session();
    // On the bus before the name: whoever sees the name appear can ask at once.
    m_lockScreenStatus = new LockScreenStatus(this);
    m_lockScreenStatus->publishOn(bus.connection());
    SessionNameClaim claim(bus.connection());
    if (claim.claim() == SessionNameClaim::Outcome::HeldByAnother) {
        writeWarning("error: another lock screen is already running in this session (it owns \""
                     + claim.name().toUtf8() + "\" on the session bus)\n");
        return false;
    }
    // The name and the object go with the connection: put them on every new
    // one (a bus that came late, or came back).
    connect(&bus, &BusLink::connected, this, [this, &bus] {
        m_lockScreenStatus->publishOn(bus.connection());
        SessionNameClaim again(bus.connection());
        if (again.claim() == SessionNameClaim::Outcome::HeldByAnother)
            writeWarning("warning: another lock screen took \"" + again.name().toUtf8()
                         + "\" on the session bus while it was away; two lock screens now run in this session\n");
    });
    return true;
}

void ZApplication::reportLockScreenShown(bool shown)
{
    auto* app = qobject_cast<ZApplication*>(QCoreApplication::instance());
    if (app && app->m_lockScreenStatus)
        app->m_lockScreenStatus->setShown(shown);
}

bool ZApplication::eventFilter(QObject* watched, QEvent* event)
{
    // A lock screen cannot be closed: the window manager's close request
    // (Alt+F4, WM_DELETE_WINDOW) is refused and the window stays.
    if (watched == m_mainWidget && event->type() == QEvent::Close) {
        event->ignore();
        return true;
    }
    return QApplication::eventFilter(watched, event);
}

void ZApplication::onSignalPipeReadable()
{
    char buffer[16];
    while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
    }
    exit(0);
}
