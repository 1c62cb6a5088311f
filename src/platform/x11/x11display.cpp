#include "platform/x11/x11display.h"

#include "platform/x11/x11framepresenter.h"
#include "platform/x11/x11keyguard.h"

#include <QWidget>

std::unique_ptr<DisplayPlatform> X11Display::create(QWidget* window)
{
    if (!X11Keyguard::isAvailable())
        return nullptr;
    return std::unique_ptr<DisplayPlatform>(new X11Display(window));
}

X11Display::X11Display(QWidget* window)
    : m_keyguard(new X11Keyguard(window))
{
    connect(m_keyguard, &X11Keyguard::windowLost, this, &DisplayPlatform::windowLost);
    connect(m_keyguard, &X11Keyguard::overlayExposed, this, &DisplayPlatform::repaintNeeded);
    if (X11FramePresenter::isAvailable()) {
        m_presenter = std::make_unique<X11FramePresenter>(window);
        // The overlay shows what the presenter puts there; the toolkit's own
        // painting would reach only the window beneath it.
        m_keyguard->setOverlayWanted(true);
    }
}

X11Display::~X11Display() = default;

Qt::WindowFlags X11Display::windowFlags() const
{
    // The window manager places, stacks, focuses and closes nothing of the
    // lock window; the keyguard keeps it on top.
    return Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
}

bool X11Display::presentsFrames() const
{
    return m_presenter != nullptr;
}

void X11Display::present(const QImage& windowImage, const QRegion& windowPart)
{
    if (m_presenter)
        m_presenter->present(windowImage, windowPart, m_keyguard->overlayWindow());
}

void X11Display::hold(const QRect& geometry)
{
    m_keyguard->engage(geometry);
}

void X11Display::beforeHide()
{
    m_keyguard->beforeHide();
}

void X11Display::release()
{
    m_keyguard->release();
}
