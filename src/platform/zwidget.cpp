#include "platform/zwidget.h"

#include "platform/displayplatform.h"
#include "platform/framefit.h"
#include "platform/zapplication.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

ZWidget::ZWidget(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
}

ZMainWidget::ZMainWidget(QWidget* parent, Qt::WindowFlags flags)
    : ZWidget(parent, flags | Qt::Window)
    , m_platform(DisplayPlatform::create(this))
{
    setWindowFlags(windowFlags() | m_platform->windowFlags());
    setFocusPolicy(Qt::StrongFocus);
    if (m_platform->presentsFrames())
        setAttribute(Qt::WA_PaintOnScreen);
    connect(m_platform.get(), &DisplayPlatform::windowLost, this, &ZMainWidget::replaceLostWindow);
    connect(m_platform.get(), &DisplayPlatform::repaintNeeded, this, [this] { update(); });
    // A screen that changes size (RANDR) while the lock screen is shown is
    // covered again at once.
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ZMainWidget::followScreen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, this, &ZMainWidget::followScreen);
    });
    for (QScreen* screen : QGuiApplication::screens())
        connect(screen, &QScreen::geometryChanged, this, &ZMainWidget::followScreen);
}

ZMainWidget::~ZMainWidget() = default;

bool ZMainWidget::presentsFrames() const
{
    return m_platform->presentsFrames() && !redirected(nullptr);
}

bool ZMainWidget::framesAreSeen() const
{
    return m_platform->framesAreSeen();
}

void ZMainWidget::presentFrame(const QImage& frame, const QRegion& region)
{
    m_platform->present(frame, region);
}

QPaintEngine* ZMainWidget::paintEngine() const
{
    // Null tells the toolkit that the window paints the screen itself.
    return m_platform->presentsFrames() ? nullptr : ZWidget::paintEngine();
}

QRegion ZMainWidget::phonePart(const QRegion& windowPart) const
{
    return FrameFit(size(), QSize(PhoneScreen::Width, PhoneScreen::Height)).toPhone(windowPart);
}

QRegion ZMainWidget::windowPart(const QRegion& phonePart) const
{
    return FrameFit(size(), QSize(PhoneScreen::Width, PhoneScreen::Height)).toWindow(phonePart);
}

void ZMainWidget::updatePhonePart(const QRegion& phonePart)
{
    update(windowPart(phonePart));
}

void ZMainWidget::showFrame(const QImage& frame, const QRegion& windowPart)
{
    const FrameFit fit(size(), QSize(PhoneScreen::Width, PhoneScreen::Height));
    const QColor uncovered = palette().color(QPalette::Window);
    if (!presentsFrames()) {
        QPainter window(this);
        fit.paint(window, frame, windowPart, uncovered);
        return;
    }
    if (fit.isOneToOne() && frame.size() == size() && FrameFit::covers(frame.size(), frame.hasAlphaChannel(), size())) {
        presentFrame(frame, windowPart);
        return;
    }
    // Scaled, or over the window's background: the window's picture is put
    // together in an image of its own, kept from frame to frame.
    if (m_windowImage.size() != size())
        m_windowImage = QImage(size(), QImage::Format_RGB32);
    QPainter window(&m_windowImage);
    fit.paint(window, frame, windowPart, uncovered);
    window.end();
    presentFrame(m_windowImage, windowPart);
}

void ZMainWidget::setFullScreenMode(bool fullScreen, bool /*hideTitleBar*/)
{
    m_fullScreenMode = fullScreen;
    if (fullScreen && !coversScreen())
        setFixedSize(PhoneScreen::Width, PhoneScreen::Height);
}

bool ZMainWidget::coversScreen() const
{
    // A platform that fits frames itself keeps the window the phone's size.
    if (!m_fullScreenMode || m_platform->fitsFramesItself())
        return false;
    return qEnvironmentVariable("LOCKAPP_FULLSCREEN") != QLatin1String("0");
}

QRect ZMainWidget::wantedGeometry() const
{
    const QScreen* screen = this->screen();
    if (m_platform->fitsFramesItself())
        return QRect(0, 0, PhoneScreen::Width, PhoneScreen::Height);
    if (coversScreen() && screen)
        return screen->geometry();
    return QRect(screen ? screen->geometry().topLeft() : QPoint(0, 0), QSize(PhoneScreen::Width, PhoneScreen::Height));
}

QRect ZMainWidget::nativeGeometry() const
{
    // The X server counts in pixels of the screen, the toolkit scaled ones.
    const qreal ratio = devicePixelRatioF();
    return QRect((QPointF(geometry().topLeft()) * ratio).toPoint(), (QSizeF(size()) * ratio).toSize());
}

void ZMainWidget::show()
{
    // Without a window manager nobody honours the full-screen request, so
    // the window also takes the screen's geometry itself.
    setGeometry(wantedGeometry());
    if (coversScreen())
        QWidget::showFullScreen();
    else
        QWidget::show();
    // A lock screen stands over everything and takes the keys as soon as it
    // is up. (The offscreen platform has no stacking order to raise in.)
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        raise();
    activateWindow();
    // It also stays over windows that come later, and holds the keyboard
    // and the pointer until it hides.
    m_platform->hold(nativeGeometry());
    ZApplication::reportLockScreenShown(true);
}

void ZMainWidget::hide()
{
    // The display platform lets go once the window is off the screen
    // (hideEvent).
    if (isVisible())
        m_platform->beforeHide();
    QWidget::hide();
    ZApplication::reportLockScreenShown(false);
}

void ZMainWidget::hideEvent(QHideEvent* event)
{
    // However the window hides, it holds nothing any more; not while it is
    // only being made again.
    if (!m_replacingWindow)
        m_platform->release();
    ZWidget::hideEvent(event);
}

void ZMainWidget::followScreen()
{
    if (!isVisible() || wantedGeometry() == geometry())
        return;
    setGeometry(wantedGeometry());
    m_platform->hold(nativeGeometry());
    update();
}

void ZMainWidget::replaceLostWindow()
{
    // Another client destroyed the window while it was shown: a new one
    // takes its place, shown and holding the keys again.
    if (!isVisible())
        return;
    m_replacingWindow = true;
    QWidget::hide();
    destroy(true, false);
    create();
    m_replacingWindow = false;
    show();
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
