#pragma once

#include <QObject>
#include <QRect>
#include <QRegion>

#include <memory>

class QImage;
class QWidget;

// What the phone's window system guarantees the lock window, on the display
// platform this process runs on: its frames on the screen, and, while it is
// shown, the screen and the keys to itself alone. One is chosen at start-up
// (DisplayPlatform::create); the window asks only this interface.
//
// This base is the plain platform (a window system that offers a client no
// way to hold the keys): the toolkit paints the window, and holding and
// releasing do nothing.
class DisplayPlatform : public QObject
{
    Q_OBJECT
public:
    // Before any application object exists: picks the toolkit platform the
    // display platform needs (unless QT_QPA_PLATFORM says otherwise).
    static void chooseBeforeApplication();
    // The display platform for the lock window, after the application object.
    static std::unique_ptr<DisplayPlatform> create(QWidget* window);

    DisplayPlatform();
    ~DisplayPlatform() override;

    // Flags the lock window needs on this platform.
    virtual Qt::WindowFlags windowFlags() const { return {}; }

    // Whether frames go to the screen through present() rather than through
    // a painter on the window.
    virtual bool presentsFrames() const { return false; }
    // Whether present() is handed the phone's screen as it is (a window of
    // the phone's size) and fits it to each screen itself; otherwise the
    // window covers the toolkit's screen and the frame is fitted into it.
    virtual bool fitsFramesItself() const { return false; }
    // Whether what present() is handed reaches a screen at all.
    virtual bool framesAreSeen() const { return true; }
    // Shows the part `windowPart` of `windowImage`, the window's picture
    // (here: drops it).
    virtual void present(const QImage& windowImage, const QRegion& windowPart);

    // The window has just been shown at `geometry` (the screen's pixels):
    // hold it over everything, and the keyboard and pointer, until release().
    // Called again when the geometry changes.
    virtual void hold(const QRect& geometry);
    // The window is about to hide (an unlock); release() follows once it has.
    virtual void beforeHide();
    // The window has hidden: let go, and give the keys back.
    virtual void release();

signals:
    // What the screen showed of the window is lost: present all of it again.
    void repaintNeeded();
    // The window itself was destroyed by someone else: make a new one.
    void windowLost();
};
