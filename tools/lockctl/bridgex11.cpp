#include "bridgex11.h"

#include "bridgelog.h"
#include "bridgerelay.h"
#include "platform/x11reply.h"

#include <QSocketNotifier>

#include <xcb/screensaver.h>
#include <xcb/xcb.h>

const char* const X11SaverSource::Name = "x11";

X11SaverSource::X11SaverSource(xcb_connection_t* connection, int screen, DisplayRelay& relay, BridgeLog& log,
                               QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_screen(screen)
    , m_relay(relay)
    , m_log(log)
{
}

X11SaverSource::~X11SaverSource()
{
    delete m_notifier;
    if (m_connection)
        xcb_disconnect(m_connection);
}

std::unique_ptr<X11SaverSource> X11SaverSource::open(DisplayRelay& relay, BridgeLog& log, QString* why)
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        *why = QStringLiteral("no X display (DISPLAY is not set); skipped");
        return nullptr;
    }
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(display.constData(), &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        *why = QStringLiteral("cannot open the X display %1; skipped").arg(QString::fromLocal8Bit(display));
        return nullptr;
    }
    return std::make_unique<X11SaverSource>(connection, screen, relay, log);
}

bool X11SaverSource::start(QString* why)
{
    if (m_connection == nullptr || xcb_connection_has_error(m_connection)) {
        *why = QStringLiteral("the connection to the X server is broken; skipped");
        return false;
    }
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection, &xcb_screensaver_id);
    if (extension == nullptr || !extension->present) {
        *why = QStringLiteral("the X server has no MIT-SCREEN-SAVER extension; skipped");
        return false;
    }
    m_firstEvent = extension->first_event;

    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < m_screen && it.rem > 0; ++i)
        xcb_screen_next(&it);
    if (it.rem == 0) {
        *why = QStringLiteral("the X server has no screen %1; skipped").arg(m_screen);
        return false;
    }
    const xcb_void_cookie_t cookie = xcb_screensaver_select_input_checked(
            m_connection, it.data->root, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
    if (const X11Reply<xcb_generic_error_t> error { xcb_request_check(m_connection, cookie) }) {
        *why = QStringLiteral("the X server refused its screen-saver notifications; skipped");
        return false;
    }

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11SaverSource::onReadable);
    m_log.event(QLatin1String(Name), QStringLiteral("MIT-SCREEN-SAVER of the X server"), QStringLiteral("listening"));
    // Events that arrived while waiting for the answer above are queued already.
    onReadable();
    return true;
}

void X11SaverSource::onReadable()
{
    while (const X11Reply<xcb_generic_event_t> event { xcb_poll_for_event(m_connection) }) {
        if ((event->response_type & 0x7f) == m_firstEvent + XCB_SCREENSAVER_NOTIFY)
            handleNotify(reinterpret_cast<const xcb_screensaver_notify_event_t*>(event.get())->state);
    }
    if (xcb_connection_has_error(m_connection)) {
        // The server went away: nothing more will come from it.
        m_notifier->setEnabled(false);
        m_log.warning(QLatin1String(Name), QStringLiteral("the X server closed the connection; skipped from now on"));
    }
}

void X11SaverSource::handleNotify(int state)
{
    switch (state) {
    case XCB_SCREENSAVER_STATE_ON:
        m_relay.displayOff(QLatin1String(Name), QStringLiteral("blanked"));
        break;
    case XCB_SCREENSAVER_STATE_OFF:
        m_relay.displayOn(QLatin1String(Name), QStringLiteral("unblanked"));
        break;
    default:
        // CYCLE: the saver changes its picture; the screen stays blanked.
        break;
    }
}
