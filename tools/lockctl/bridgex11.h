#pragma once

#include <QObject>
#include <QString>

#include <memory>

class BridgeLog;
class DisplayRelay;
class QSocketNotifier;
struct xcb_connection_t;

// The X server's own screen saver (the MIT-SCREEN-SAVER extension): its
// time-out or `xset s activate` blanks the screen ("LCDOff"), any input or
// `xset s reset` unblanks it ("LCDOn").
class X11SaverSource : public QObject
{
    Q_OBJECT
public:
    static const char* const Name;  // "x11"

    // Takes over the connection and its screen (the root window's number);
    // a null connection is accepted and makes start() fail.
    X11SaverSource(xcb_connection_t* connection, int screen, DisplayRelay& relay, BridgeLog& log,
                   QObject* parent = nullptr);
    ~X11SaverSource() override;

    // Opens the display named by $DISPLAY. Null when it cannot be opened; why
    // is then set.
    static std::unique_ptr<X11SaverSource> open(DisplayRelay& relay, BridgeLog& log, QString* why);

    // Asks the server for its screen-saver notifications. False, with why set,
    // when the connection is broken or the server lacks the extension.
    bool start(QString* why);

private slots:
    void onReadable();

private:
    void handleNotify(int state);

    xcb_connection_t* m_connection;
    int m_screen;
    DisplayRelay& m_relay;
    BridgeLog& m_log;
    QSocketNotifier* m_notifier = nullptr;
    int m_firstEvent = -1;  // the extension's first event code
};
