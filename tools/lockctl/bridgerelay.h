#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class BridgeLog;

// The one place where the bridge talks to the lock screen. The sources report
// lock requests (a blank, a session lock, sleep) and the display coming back;
// the lock screen itself reports whether it is shown. A lock request raises
// the lock screen ("LCDOff" on "EZX/System") unless the lock screen has said
// it is shown and was last told that the display is off: what counts is what
// the lock screen reports, not what the relay last sent. "LCDOn" is sent only
// when it changes what the lock screen was last told. Until the first message
// the display counts as on, as it does for lockapp itself.
//
// The relay also keeps whether the session is locked: from a lock request
// until the lock screen reports an unlock. A lock screen that (re)appears on
// the bus while the session is locked is raised at once.
class DisplayRelay : public QObject
{
    Q_OBJECT
public:
    // Hands one message to the bus; false when it could not be sent.
    using Sender = std::function<bool(const QByteArray& message)>;

    // The default sender uses the channel transport of lockctl send.
    explicit DisplayRelay(BridgeLog& log, Sender sender = {}, QObject* parent = nullptr);

    // What a source does once the message is on the bus (or could not be
    // sent: told is then false); its text ends the event's line.
    using Then = std::function<QString(bool told)>;

    // The display went off (blanked, about to sleep) or came back on. True
    // once the lock screen has been told: now, or by an earlier message.
    bool displayOff(const QString& source, const QString& event, const Then& then = {});
    bool displayOn(const QString& source, const QString& event, const Then& then = {});

    // The session was locked: the lock screen is raised ("LCDOff") and, unless
    // the display is off, told at once that the display is on, so that it shows
    // the time while the user looks at it.
    void sessionLocked(const QString& source, const QString& event);

    // What the lock screen says of itself: it appeared on the bus (Shown as
    // read then), its Shown changed (false: the user unlocked), it left.
    void lockScreenAppeared(const QString& source, const QString& event, bool shown);
    void lockScreenShownChanged(const QString& source, const QString& event, bool shown);
    void lockScreenGone(const QString& source, const QString& event);

    // True only while the lock screen has said so.
    bool isShown() const { return m_shown; }

signals:
    // The lock screen reported that it is shown.
    void lockScreenShown();

private:
    enum class Outcome { Sent, AlreadySent, AlreadyShown, Failed };
    Outcome tell(bool on);
    Outcome raise();
    QString raiseAndLight(bool lightAfter);
    static QString describe(Outcome outcome, bool on);
    bool report(const QString& source, const QString& event, bool on, const Then& then);

    BridgeLog& m_log;
    Sender m_send;
    bool m_displayOn = true;
    bool m_locked = false;
    bool m_shown = false;
    bool m_failing = false;  // the last send failed: warned once until one succeeds
};
