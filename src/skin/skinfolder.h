#pragma once

#include <QString>

// The folder of a skin as the lock screen forms it from the program folder
// (ending in "/") and the skin's name: a plain concatenation, so an absent
// or empty name gives appDir + "skin//". Every part that looks for a skin
// folder asks here.
inline QString skinFolder(const QString& appDir, const QString& skin)
{
    return appDir + QLatin1String("skin/") + skin + QLatin1Char('/');
}
