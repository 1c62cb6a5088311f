#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <QTimer>

class BridgeLog;
class BusNameOwner;
class DisplayRelay;
class QDBusMessage;
class SleepInhibitor;

// systemd-logind on the system bus. This session's Lock (loginctl
// lock-session) raises the lock screen; PrepareForSleep(true) raises it and
// releases the sleep inhibitor the bridge holds once the lock screen reports
// that it is shown (or after ShownWaitMs without word from it), so that the
// machine sleeps with the lock screen up; PrepareForSleep(false) says the
// display is on again and takes a new inhibitor. Only signals of exactly the
// documented arguments, sent by logind's current owner of its name, count.
// A logind that restarts is picked up again by its bus name.
class LogindSource : public QObject
{
    Q_OBJECT
public:
    static const char* const Name;  // "logind"

    // How long sleep waits for the lock screen to say it is shown: well
    // under logind's own default bound on a delay inhibitor (5 s), and long
    // enough for a lock screen restarted by its unit to come up.
    static constexpr int ShownWaitMs = 3000;

    // sessionId is $XDG_SESSION_ID; when empty, the session is this user's
    // that is the active one of its seat.
    LogindSource(QDBusConnection systemBus, const QString& sessionId, DisplayRelay& relay, BridgeLog& log,
                 QObject* parent = nullptr);

    // Subscribes to logind's signals and, if logind is there, takes the
    // inhibitor. False, with why set, when the system bus cannot be reached;
    // true otherwise, with why set when logind is not on the bus yet.
    bool start(QString* why);

    // The object path of the session followed; empty until it is known.
    QString sessionPath() const { return m_sessionPath; }

private slots:
    void onLock(const QDBusMessage& message);
    void onPrepareForSleep(const QDBusMessage& message);
    void onLockScreenShown();
    void onShownWaitOver();
    void onLogindRegistered();
    void onLogindUnregistered();
    void onInhibitorTaken();
    void onInhibitorFailed(const QString& why);

private:
    void findSession();
    void releaseForSleep(const QString& why);
    QString sessionOfThisUser();

    QDBusConnection m_bus;
    QString m_sessionId;
    DisplayRelay& m_relay;
    BridgeLog& m_log;
    SleepInhibitor* m_inhibitor;
    BusNameOwner* m_owner;
    QTimer m_shownWait;
    QString m_sessionPath;
    bool m_sleeping = false;
};
