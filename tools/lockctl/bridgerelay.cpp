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

DisplayRelay::DisplayRelay(BridgeLog& log, Sender sender)
    : m_log(log)
    , m_send(sender ? std::move(sender) : Sender(sendOnSystemChannel))
{
}

bool DisplayRelay::displayOff(const QString& source, const QString& event, const Then& then)
{
    return report(source, event, false, then);
}

bool DisplayRelay::displayOn(const QString& source, const QString& event, const Then& then)
{
    return report(source, event, true, then);
}

void DisplayRelay::sessionLocked(const QString& source, const QString& event)
{
    const bool wasOn = m_displayOn;
    const Outcome off = tell(false);
    QString outcome = describe(off, false);
    // A blanked screen stays dark: the lock screen is up and waits for it.
    if (wasOn && off == Outcome::Sent)
        outcome += QLatin1Char(' ') + describe(tell(true), true);
    m_log.event(source, event, outcome);
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

QString DisplayRelay::describe(Outcome outcome, bool on)
{
    const QString message = QLatin1String(messageFor(on));
    switch (outcome) {
    case Outcome::Sent:
        return message;
    case Outcome::AlreadySent:
        return QStringLiteral("nothing (%1 already sent)").arg(message);
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("%1 not sent (no session bus)").arg(message);
}

bool DisplayRelay::report(const QString& source, const QString& event, bool on, const Then& then)
{
    const Outcome outcome = tell(on);
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
