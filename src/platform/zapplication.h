#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <memory>

class LockScreenStatus;
class QuitSignals;
class ToolkitBusFence;

// The phone's application object: a QApplication whose event loop ends
// cleanly (exit code 0) on SIGTERM, SIGINT or SIGHUP, and only then: a close
// request for the main widget from the window manager is refused. A process
// whose main thread is held up elsewhere still ends (exit code 0, said on
// standard error) 0.7 s after the signal. The toolkit's own users of the
// session bus are kept off it (see ToolkitBusFence).
class ZApplication : public QApplication
{
    Q_OBJECT
public:
    // The application types of the phone's toolkit; only GuiClient is used.
    enum Type { Tty = 0, GuiClient = 1, GuiServer = 2 };

    ZApplication(int& argc, char** argv, Type type = GuiClient);

    // Call before any application object exists. Text sizes in skins are in
    // points of the phone's screen, where a point is a pixel (72 dpi); Qt's
    // platforms disagree on the logical dpi (xcb, offscreen, framebuffer), so
    // the phone's is set for all of them unless QT_FONT_DPI is already set.
    static void usePhoneScreenResolution();

    // For tools that compose frames without showing them: the offscreen
    // platform (unless QT_QPA_PLATFORM is set) and the phone's resolution.
    // Call before any application object exists.
    static void useOffscreenPhoneScreen();
    ~ZApplication() override;

    // Makes the widget the main widget without showing it.
    virtual void setMainWidget(QWidget* widget);

    // One lock screen per session. False when another process owns the lock
    // screen's name on the session bus, and when the process cannot start a
    // thread (the toolkit's bus thread could not start either, and every use
    // of the bus would wait for it for ever), each said on standard error;
    // true when this one owns the name now, and when no bus can be reached
    // (the lock screen then runs on without one).
    bool claimSession();

    // Tells the session bus whether the lock screen is shown (see
    // LockScreenStatus): the window calls it when it is raised and when it
    // is unlocked. Does nothing in an application that claimed no session.
    static void reportLockScreenShown(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The fence is made before the QApplication part exists (the arguments
    // of a delegating constructor are evaluated first) and settled once it
    // does.
    ZApplication(std::unique_ptr<ToolkitBusFence> busFence, int& argc, char** argv);

    QPointer<QWidget> m_mainWidget;
    std::unique_ptr<QuitSignals> m_quitSignals;
    LockScreenStatus* m_lockScreenStatus = nullptr;
    bool m_threadsStart = true;
};
