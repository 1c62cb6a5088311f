#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

// The phone's application object: a QApplication whose event loop ends
// cleanly (exit code 0) on SIGTERM, SIGINT or SIGHUP, or when the user closes
// the main widget through the window manager.
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
    QWidget* mainWidget() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void onSignalPipeReadable();

private:
    QPointer<QWidget> m_mainWidget;
    QSocketNotifier* m_signalNotifier = nullptr;
};
