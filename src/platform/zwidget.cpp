#include "platform/zwidget.h"

#include "platform/x11framepresenter.h"
#include "platform/x11keyguard.h"
#include "platform/zapplication.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

ZWidget::ZWidget(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
}

namespace {
// On X11 the main window keeps the window manager out: it places, stacks,
// focuses and closes nothing of it, and the keyguard keeps it on top.
Qt::WindowFlags windowSystemFlags()
{
    if (X11Keyguard::isAvailable())
        return Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    return {};
}
} // namespace

ZMainWidget::ZMainWidget(QWidget* parent, Qt::WindowFlags flags)
    : ZWidget(parent, flags | Qt::Window | windowSystemFlags())
{
    setFocusPolicy(Qt::StrongFocus);
    if (X11Keyguard::isAvailable())
        m_keyguard = new X11Keyguard(this);
    if (X11FramePresenter::isAvailable()) {
        m_presenter = std::make_unique<X11FramePresenter>(this);
        setAttribute(Qt::WA_PaintOnScreen);
    }
}

ZMainWidget::~ZMainWidget() = default;

bool ZMainWidget::presentsFrames() const
{
    return m_presenter && !redirected(nullptr);
}

void ZMainWidget::presentFrame(const QImage& frame, const QRegion& region)
{
    if (m_presenter)
        m_presenter->present(frame, region);
}

QPaintEngine* ZMainWidget::paintEngine() const
{
    // Null tells the toolkit that the window paints the screen itself.
    return m_presenter ? nullptr : ZWidget::paintEngine();
}

void ZMainWidget::setFullScreenMode(bool fullScreen, bool /*hideTitleBar*/)
{
    m_fullScreenMode = fullScreen;
    if (fullScreen && !coversScreen())
        setFixedSize(ScreenWidth, ScreenHeight);
}

bool ZMainWidget::coversScreen() const
{
    if (!m_fullScreenMode)
        return false;
    if (qEnvironmentVariableIntValue("LOCKAPP_FULLSCREEN") == 1)
        return true;
    const QScreen* screen = this->screen();
    if (!screen)
        return false;
    const QSize size = screen->size();
    return size.width() <= ScreenWidth && size.height() <= ScreenHeight;
}

void ZMainWidget::show()
{
    if (coversScreen()) {
        // Without a window manager nobody honours the full-screen request,
        // so the window also takes the screen's geometry itself.
        if (const QScreen* screen = this->screen())
            setGeometry(screen->geometry());
        QWidget::showFullScreen();
    }
    else
        QWidget::show();
    // A lock screen stands over everything and takes the keys as soon as it
    // is up. (The offscreen platform has no stacking order to raise in.)
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        raise();
    activateWindow();
    // It also stays over windows that come later, and holds the keyboard
    // and the pointer until it hides.
    if (m_keyguard)
        m_keyguard->engage();
    ZApplication::reportLockScreenShown(true);
}

void ZMainWidget::hide()
{
    // Let go before the window disappears, so that the focus can go back to
    // the window that had it.
    if (m_keyguard)
        m_keyguard->release();
    QWidget::hide();
    ZApplication::reportLockScreenShown(false);
}

void ZMainWidget::hideEvent(QHideEvent* event)
{
    // Hidden some other way than through hide(): the server has dropped the
    // grabs with the window; stop asking for them.
    if (m_keyguard)
        m_keyguard->release();
    ZWidget::hideEvent(event);
}

ZKbMainWidget::ZKbMainWidget(QWidget* parent, const char* name, unsigned int flags)
    : ZMainWidget(parent, Qt::WindowFlags(static_cast<int>(flags)))
{
    setObjectName(QString::fromLatin1(name));
}

int ZKbMainWidget::keypadCode(int qtKey)
{
    constexpr int qtSpecialBase = 0x01000000;
    constexpr int keypadSpecialBase = 0x1000;
    if (qtKey >= qtSpecialBase && qtKey < qtSpecialBase + 0x1000000)
        return keypadSpecialBase + (qtKey - qtSpecialBase);
    return qtKey;
}

bool ZKbMainWidget::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* original = static_cast<QKeyEvent*>(event);
        QKeyEvent translated(QEvent::KeyPress, keypadCode(original->key()), original->modifiers(),
                             original->nativeScanCode(), original->nativeVirtualKey(),
                             original->nativeModifiers(), original->text(),
                             original->isAutoRepeat(), static_cast<quint16>(original->count()));
        keyPressEvent(&translated);
        event->setAccepted(translated.isAccepted());
        return true;
    }
    return ZMainWidget::event(event);
}
