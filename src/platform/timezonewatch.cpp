#include "platform/timezonewatch.h"

#include <QFileInfo>

TimeZoneWatch::TimeZoneWatch(const QString& zoneFile, std::function<void()> reload, QObject* parent)
    : QObject(parent)
    , m_zoneFile(zoneFile)
    , m_reload(std::move(reload))
{
    // The folder tells of the link being replaced or made again; the file
    // itself (the watch follows the link) of its contents changing.
    m_watcher.addPath(QFileInfo(zoneFile).absolutePath());
    watchZoneFile();
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &TimeZoneWatch::zoneFileMayHaveChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &TimeZoneWatch::zoneFileMayHaveChanged);
}

void TimeZoneWatch::zoneFileMayHaveChanged()
{
    // Any change in the folder counts: reading the zone again is cheap and
    // rare next to a check at every frame.
    m_reload();
    watchZoneFile();
}

void TimeZoneWatch::watchZoneFile()
{
    // A watch ends with the file it was on: the file now at the path (or
    // behind the link) is watched anew.
    if (m_watcher.files().contains(m_zoneFile))
        m_watcher.removePath(m_zoneFile);
    if (QFileInfo::exists(m_zoneFile))
        m_watcher.addPath(m_zoneFile);
}
