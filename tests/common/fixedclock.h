#pragma once

#include "platform/wallclock.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdlib>
#include <ctime>

// Fixes the clock of the lock windows built in one scope, in a chosen time
// zone ("right/UTC" counts leap seconds, so 23:59:60 exists there).
class FixedClock
{
public:
    explicit FixedClock(time_t at, const char* zone = "UTC")
    {
        s_clock.set(at);
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
    static void set(time_t at) { s_clock.set(at); }
    static time_t utcSeconds(const char* utc)
    {
        QDateTime at = QDateTime::fromString(QString::fromLatin1(utc), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        at.setTimeSpec(Qt::UTC);
        return at.toSecsSinceEpoch();
    }

private:
    static inline FixedWallClock s_clock { 0 };
    QByteArray m_previousZone;
    ScopedWallClock m_current { s_clock };
};
