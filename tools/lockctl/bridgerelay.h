#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class BridgeLog;

// The one place where the bridge talks to the lock screen. The sources report
// what happened to the display; the relay remembers what it last told the
// lock screen and sends "LCDOff" or "LCDOn" on "EZX/System" only when that
// changes, so two "blanked" in a row are one "LCDOff" whichever source they
// come from. Until the first message the display counts as on, as it does for
// lockapp itself.
class DisplayRelay
{
public:
    // Hands one message to the bus; false when it could not be sent.
    using Sender = std::function<bool(const QByteArray& message)>;

    // The default sender uses the channel transport of lockctl send.
    explicit DisplayRelay(BridgeLog& log, Sender sender = {});

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

    bool isDisplayOn() const { return m_displayOn; }

private:
    enum class Outcome { Sent, AlreadySent, Failed };
    Outcome tell(bool on);
    static QString describe(Outcome outcome, bool on);
    bool report(const QString& source, const QString& event, bool on, const Then& then);

    BridgeLog& m_log;
    Sender m_send;
    bool m_displayOn = true;
    bool m_failing = false;  // the last send failed: warned once until one succeeds
};
