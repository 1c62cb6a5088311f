#include "platform/timezonewatch.h"

#include <QFile>
#include <QFileInfo>

#include <ctime>
#include <sys/stat.h>

void readLocalZoneAgain()
{
    // A zone that names no file in between makes the next tzset() read the
    // file whatever its inode and time. Changing the environment is not safe
    // against another thread reading it at the same moment; it happens only
    // when the zone file changed, and only the main thread reads TZ here.
    const bool zoneNamed = qEnvironmentVariableIsSet("TZ");
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "UTC0");
    tzset();
    if (zoneNamed)
        qputenv("TZ", zone);
    else
        qunsetenv("TZ");
    tzset();
}

TimeZoneWatch::TimeZoneWatch(const QString& zoneFile, std::function<void()> reload, QObject* parent)
    : QObject(parent)
    , m_zoneFile(zoneFile)
    , m_reload(std::move(reload))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &TimeZoneWatch::zoneFileSettled);
    // The folder tells of the link being replaced or made again; the file
    // itself (the watch follows the link) of its contents changing. Any change
    // in the folder counts: reading the zone again is cheap and rare next to
    // a check at every frame.
    m_watcher.addPath(QFileInfo(zoneFile).absolutePath());
    watchZoneFile();
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
}

void TimeZoneWatch::zoneFileSettled()
{
    // Watched first, read second: a change in between is then both read and
    // seen again.
    watchZoneFile();
    m_reload();
}

void TimeZoneWatch::watchZoneFile()
{
    struct stat now = {};
    const bool exists = ::stat(QFile::encodeName(m_zoneFile).constData(), &now) == 0;
    const bool watching = m_watcher.files().contains(m_zoneFile);
    // The watch on the same file is kept: made again, it would miss what is
    // written while it is away.
    if (watching && exists && now.st_dev == m_watchedDevice && now.st_ino == m_watchedInode)
        return;
    // A watch ends with the file it was on: the file now at the path (or
    // behind the link) is watched anew.
    if (watching)
        m_watcher.removePath(m_zoneFile);
    if (exists && m_watcher.addPath(m_zoneFile)) {
        m_watchedDevice = now.st_dev;
        m_watchedInode = now.st_ino;
    }
}
