#include "bridgerelay.h"

#include "bridgelog.h"
#include "platform/qcopchannel.h"

namespace {
const char* messageFor(bool on)
{
    return on ? "LCDOn" : "LCDOff";
}

bool sendOnSystemChannel(const QByteArray& message)
{
    return QCopChannel::send("EZX/System", message);
}
} // namespace

DisplayRelay::DisplayRelay(BridgeLog& log, Sender sender, QObject* parent)
    : QObject(parent)
    , m_log(log)
    , m_send(sender ? std::move(sender) : Sender(sendOnSystemChannel))
{
}

bool DisplayRelay::displayOff(const QString& source, const QString& event, const Then& then)
{
    m_locked = true;
    return report(source, event, false, then);
}

bool DisplayRelay::displayOn(const QString& source, const QString& event, const Then& then)
{
    return report(source, event, true, then);
}

void DisplayRelay::sessionLocked(const QString& source, const QString& event)
{
    m_locked = true;
    // A lock screen that is up already stays as it is, dark or ticking.
    m_log.event(source, event, raiseAndLight(m_displayOn));
}

void DisplayRelay::lockScreenAppeared(const QString& source, const QString& event, bool shown)
{
    m_shown = shown;
    QString outcome;
    if (shown) {
        outcome = QStringLiteral("shown");
        emit lockScreenShown();
    } else if (m_locked) {
        // Back after a crash while the session was locked: up again at once,
        // ticking if the display was on.
        outcome = QStringLiteral("the session is locked: ") + raiseAndLight(m_displayOn);
    } else {
        outcome = QStringLiteral("not shown; the session is not locked");
    }
    m_log.event(source, event, outcome);
}

void DisplayRelay::lockScreenShownChanged(const QString& source, const QString& event, bool shown)
{
    m_shown = shown;
    if (shown) {
        m_log.event(source, event, QStringLiteral("shown"));
        emit lockScreenShown();
        return;
    }
    m_locked = false;
    m_log.event(source, event, QStringLiteral("unlocked"));
}

void DisplayRelay::lockScreenGone(const QString& source, const QString& event)
{
    m_shown = false;
    m_log.event(source, event,
                m_locked ? QStringLiteral("waiting for it; the session is locked") : QStringLiteral("waiting for it"));
}

DisplayRelay::Outcome DisplayRelay::tell(bool on)
{
    if (on == m_displayOn)
        return Outcome::AlreadySent;
    if (!m_send(QByteArray(messageFor(on)))) {
        // The state is kept, so that the next event tries again.
        if (!m_failing)
            m_log.warning(QStringLiteral("session bus"),
                          QStringLiteral("cannot send %1 on EZX/System; the lock screen was not told")
                                  .arg(QLatin1String(messageFor(on))));
        m_failing = true;
        return Outcome::Failed;
    }
    m_failing = false;
    m_displayOn = on;
    return Outcome::Sent;
}

DisplayRelay::Outcome DisplayRelay::raise()
{
    // Only a lock screen that says it is shown, and was told the display is
    // off, needs nothing more; a message sent earlier proves nothing.
    if (m_shown && !m_displayOn)
        return Outcome::AlreadyShown;
    const bool wasOn = m_displayOn;
    m_displayOn = true;  // so that tell() sends LCDOff whatever was sent before
    const Outcome outcome = tell(false);
    if (outcome == Outcome::Failed)
        m_displayOn = wasOn;
    return outcome;
}

QString DisplayRelay::raiseAndLight(bool lightAfter)
{
    if (m_shown)
        return describe(Outcome::AlreadyShown, false);
    const Outcome off = raise();
    QString outcome = describe(off, false);
    // A blanked screen stays dark: the lock screen is up and waits for it.
    if (lightAfter && off == Outcome::Sent)
        outcome += QLatin1Char(' ') + describe(tell(true), true);
    return outcome;
}

QString DisplayRelay::describe(Outcome outcome, bool on)
{
    const QString message = QLatin1String(messageFor(on));
    switch (outcome) {
    case Outcome::Sent:
        return message;
    case Outcome::AlreadySent:
        return QStringLiteral("nothing (%1 already sent)").arg(message);
    case Outcome::AlreadyShown:
        return QStringLiteral("nothing (the lock screen is shown)");
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("%1 not sent (no session bus)").arg(message);
}

bool DisplayRelay::report(const QString& source, const QString& event, bool on, const Then& then)
{
    const Outcome outcome = on ? tell(true) : raise();
    const bool told = outcome != Outcome::Failed;
    QString line = describe(outcome, on);
    if (then) {
        const QString more = then(told);
        if (!more.isEmpty())
            line += QStringLiteral("; ") + more;
    }
    m_log.event(source, event, line);
    return told;
}
