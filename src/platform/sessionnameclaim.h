#pragma once

#include <QDBusConnection>
#include <QString>

// One lock screen per session: the first lockapp owns a well-known name on
// the session bus, and a second one, finding it owned, gives way. The name is
// requested without queueing and without letting anyone take it over; the bus
// releases it when the owner's connection closes.
class SessionNameClaim
{
public:
    static const char* const LockScreenName;

    enum class Outcome {
        Claimed,       // this process owns the name now (or owned it already)
        HeldByAnother, // another connection owns it
        NoBus,         // the bus cannot be reached or did not answer
    };

    explicit SessionNameClaim(QDBusConnection bus, const QString& name = QString::fromLatin1(LockScreenName));

    // Asks the bus for the name. Call again on a new connection after the
    // bus was lost.
    Outcome claim();

    const QString& name() const { return m_name; }

private:
    QDBusConnection m_bus;
    QString m_name;
};
