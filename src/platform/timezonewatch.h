#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

#include <ctime>
#include <functional>

// Keeps the C library's local time zone current without a check at every
// reading. localtime_r reads the zone file once; the zone is read again
// (tzset) only when the file changes: the link replaced (the zone set), the
// file it leads to replaced or rewritten (a time-zone data update), or the
// file removed and made again. Checking at every frame instead costs a
// file-system lookup once a second.
class TimeZoneWatch : public QObject
{
    Q_OBJECT
public:
    // zoneFile: the system's zone file; reload: what reads the zone again.
    explicit TimeZoneWatch(const QString& zoneFile = QStringLiteral("/etc/localtime"),
                           std::function<void()> reload = &tzset, QObject* parent = nullptr);

private:
    void zoneFileMayHaveChanged();
    void watchZoneFile();

    QFileSystemWatcher m_watcher;
    QString m_zoneFile;
    std::function<void()> m_reload;
};
