#pragma once

#include "platform/phonescreen.h"

#include <QWidget>

#include <memory>

class X11FramePresenter;
class X11Keyguard;

// The phone toolkit's widget base: a plain QWidget.
class ZWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ZWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
};

// A top-level application window, hidden until its first show().
class ZMainWidget : public ZWidget
{
    Q_OBJECT
public:
    explicit ZMainWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~ZMainWidget() override;

    // The phone's screen size.
    static constexpr int ScreenWidth = PhoneScreen::Width;
    static constexpr int ScreenHeight = PhoneScreen::Height;

    // Asks for the whole screen whenever the window is shown. On a screen of
    // the phone's size the window covers it; on a larger desktop it becomes a
    // fixed 240 x 320 window, unless LOCKAPP_FULLSCREEN=1 forces full screen.
    void setFullScreenMode(bool fullScreen, bool hideTitleBar);
    bool isFullScreenMode() const { return m_fullScreenMode; }

    // While shown, the window stands over every other window, including
    // those that appear later, and holds the keyboard and the pointer: no
    // other application receives a key or a click. Hidden, it takes neither.
    // (On X11; Wayland offers no such thing, see ZApplication.)
    virtual void show();
    virtual void hide();

    // Whether a shown window will cover the whole screen it is on.
    bool coversScreen() const;

    // The X11 keyguard of this window; null on other platforms.
    X11Keyguard* keyguard() const { return m_keyguard; }

protected:
    void hideEvent(QHideEvent* event) override;

    // On X11 the window puts its frames on the screen itself, past the
    // toolkit's backing store (see X11FramePresenter): a paint event that
    // is for the screen hands its frame to presentFrame() and opens no
    // painter on the window. A paint redirected elsewhere (grab(),
    // render()) paints as usual.
    bool presentsFrames() const;
    // Shows the part region of frame, laid over the window from its top-left.
    void presentFrame(const QImage& frame, const QRegion& region);
    QPaintEngine* paintEngine() const override;

private:
    bool m_fullScreenMode = false;
    X11Keyguard* m_keyguard = nullptr;
    std::unique_ptr<X11FramePresenter> m_presenter;
};

// The keypad main window. Key presses reach keyPressEvent with the keypad's
// codes: the toolkit's special keys (0x01000000 + n) arrive as 0x1000 + n,
// printable keys unchanged, so Return is 4100 and '*' is 42.
class ZKbMainWidget : public ZMainWidget
{
    Q_OBJECT
public:
    ZKbMainWidget(QWidget* parent, const char* name, unsigned int flags);

    static int keypadCode(int qtKey);

protected:
    bool event(QEvent* event) override;
};
