#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <sys/types.h>

// Makes the C library read the local zone again, even when the zone file
// looks unchanged to it: tzset() alone skips a file whose inode and
// modification second are the ones it read last, so a file rewritten in place
// within one second would keep the zone it had half-way through the write.
void readLocalZoneAgain();

// Keeps the C library's local time zone current without a check at every
// reading. localtime_r reads the zone file once; the zone is read again
// only when the file changes: the link replaced (the zone set), the file it
// leads to replaced or rewritten (a time-zone data update), or the file
// removed and made again. Checking at every frame instead costs a file-system
// lookup once a second.
class TimeZoneWatch : public QObject
{
    Q_OBJECT
public:
    // A rewrite in place is seen as several changes (the file emptied, then
    // written): the zone is read once the file has been still this long.
    static constexpr int SettleMs = 100;

    // zoneFile: the system's zone file; reload: what reads the zone again.
    explicit TimeZoneWatch(const QString& zoneFile = QStringLiteral("/etc/localtime"),
                           std::function<void()> reload = &readLocalZoneAgain, QObject* parent = nullptr);

private:
    void zoneFileSettled();
    void watchZoneFile();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QString m_zoneFile;
    std::function<void()> m_reload;
    // The file behind the path when the watch on it was made.
    dev_t m_watchedDevice = 0;
    ino_t m_watchedInode = 0;
};
