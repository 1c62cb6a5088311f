#pragma once

#include "platform/phonescreen.h"

#include <QWidget>

#include <memory>

class DisplayPlatform;

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

    // Asks for the whole screen whenever the window is shown: the window
    // covers the screen it is on, also a larger desktop's (the phone's screen
    // scaled to fit and centred, black around it), and follows that screen's
    // size while shown. LOCKAPP_FULLSCREEN=0 keeps a window of the phone's
    // size at the top-left corner of a larger screen.
    void setFullScreenMode(bool fullScreen, bool hideTitleBar);

    // While shown, the window stands over every other window, including
    // those that appear later, and holds the keyboard and the pointer: no
    // other application receives a key or a click. Hidden, it takes neither.
    // (Where the display platform offers a way: see DisplayPlatform.)
    virtual void show();
    virtual void hide();

    // Whether a shown window will cover the whole screen it is on.
    bool coversScreen() const;

protected:
    void hideEvent(QHideEvent* event) override;

    // The window shows the phone's screen, scaled to fit it: a subclass
    // paints in the phone's coordinates. The part of the phone's screen that
    // a part of the window shows, and a repaint of a part of the phone's
    // screen.
    QRegion phonePart(const QRegion& windowPart) const;
    QRegion windowPart(const QRegion& phonePart) const;
    void updatePhonePart(const QRegion& phonePart);
    // Puts the phone's screen, `frame`, on the window for a paint event's
    // region. Where the frame leaves the phone's screen bare (smaller, empty
    // or translucent) the window's background colour shows.
    void showFrame(const QImage& frame, const QRegion& windowPart);

    // Where the display platform puts frames on the screen itself, past the
    // toolkit's backing store, a paint event that is for the screen hands
    // its frame to presentFrame() and opens no painter on the window. A
    // paint redirected elsewhere (grab(), render()) paints as usual.
    bool presentsFrames() const;
    // Whether frames presented reach a screen: not offscreen, where the
    // window only composes them.
    bool framesAreSeen() const;
    // Shows the part region of frame, laid over the window from its top-left.
    void presentFrame(const QImage& frame, const QRegion& region);
    QPaintEngine* paintEngine() const override;

private:
    QRect wantedGeometry() const;
    QRect nativeGeometry() const;
    void followScreen();
    void replaceLostWindow();

    bool m_fullScreenMode = false;
    bool m_replacingWindow = false;
    QImage m_windowImage;
    std::unique_ptr<DisplayPlatform> m_platform;
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
