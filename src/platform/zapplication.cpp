#include "platform/zapplication.h"

#include "platform/buslink.h"
#include "platform/diagnostics.h"
#include "platform/lockscreenstatus.h"
#include "platform/quitsignals.h"
#include "platform/sessionnameclaim.h"
#include "platform/toolkitbusfence.h"

#include <QEvent>

namespace {

// The clean end has this long after the signal; then the process ends anyway.
constexpr QuitSignals::Deadline CleanEnd {
    std::chrono::milliseconds(700), "warning: lockapp did not end within 0.7 s of the signal to end; ending it now\n"
};

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

    m_quitSignals = std::make_unique<QuitSignals>(CleanEnd);
    connect(m_quitSignals.get(), &QuitSignals::received, this, [this] { exit(0); });
    m_threadsStart = busFence->settle();
}

ZApplication::~ZApplication() = default;

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
