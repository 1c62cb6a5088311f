#pragma once

#include "platform/wallclock.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdlib>
#include <ctime>

// Fixes the lock window's clock for one scope, in a chosen time zone
// ("right/UTC" counts leap seconds, so 23:59:60 exists there).
class FixedClock
{
public:
    explicit FixedClock(time_t at, const char* zone = "UTC")
    {
        s_now = at;
        m_previousZone = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        setWallClockSource([] { return s_now; });
    }
    // A UTC date and time, "2026-03-07 09:05:03".
    explicit FixedClock(const char* utc)
        : FixedClock(utcSeconds(utc))
    {
    }
    ~FixedClock()
    {
        setWallClockSource(nullptr);
        qputenv("TZ", m_previousZone);
        tzset();
    }
    static void set(time_t at) { s_now = at; }
    static time_t utcSeconds(const char* utc)
    {
        QDateTime at = QDateTime::fromString(QString::fromLatin1(utc), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        at.setTimeSpec(Qt::UTC);
        return at.toSecsSinceEpoch();
    }

private:
    static inline time_t s_now = 0;
    QByteArray m_previousZone;
};
