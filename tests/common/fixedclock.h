#pragma once

#include "platform/wallclock.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdlib>
#include <ctime>

// A clock that stands still at a chosen second, for the windows a test hands
// clock() to, read in a chosen time zone while it lives ("right/UTC" counts
// leap seconds, so 23:59:60 exists there).
class FixedClock
{
public:
    explicit FixedClock(time_t at, const char* zone = "UTC")
        : m_clock(at)
    {
        m_previousZone = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
    }
    // A UTC date and time, "2026-03-07 09:05:03".
    explicit FixedClock(const char* utc)
        : FixedClock(utcSeconds(utc))
    {
    }
    ~FixedClock()
    {
        qputenv("TZ", m_previousZone);
        tzset();
    }
    Q_DISABLE_COPY_MOVE(FixedClock)

    const WallClock& clock() const { return m_clock; }
    void set(time_t at) { m_clock.set(at); }
    void set(const char* utc) { m_clock.set(utcSeconds(utc)); }
    static time_t utcSeconds(const char* utc)
    {
        QDateTime at = QDateTime::fromString(QString::fromLatin1(utc), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        at.setTimeSpec(Qt::UTC);
        return at.toSecsSinceEpoch();
    }

private:
    FixedWallClock m_clock;
    QByteArray m_previousZone;
};
