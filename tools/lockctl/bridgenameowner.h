#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class BusLink;
class QDBusMessage;
class QDBusServiceWatcher;

// The current owner (a unique name such as ":1.42") of one well-known bus
// name. Any client on a bus may send a signal with a service's interface and
// member; only one sent by the name's current owner is the service's.
class BusNameOwner : public QObject
{
    Q_OBJECT
public:
    explicit BusNameOwner(const QString& name, QObject* parent = nullptr);

    // Follows the name on bus, from now on, and reads its owner at once;
    // call again on a new connection. appeared() or vanished() follow when
    // that changes what was known.
    void follow(const QDBusConnection& bus);
    // Follows the name on every connection of link from now on, starting
    // with the current one if there is one; while the link is lost the
    // name counts as unowned. Called once.
    void follow(BusLink& link);
    // The connection is gone: the name counts as unowned until follow().
    void forget();

    const QString& name() const { return m_name; }
    bool isPresent() const { return !m_owner.isEmpty(); }
    // Whether the message (a signal) comes from the name's current owner.
    bool sent(const QDBusMessage& message) const;
    // Whether appeared() or vanished() comes from reading the owner on a
    // (new) connection rather than from a change of owner on the bus.
    bool isReadingOwner() const { return m_reading; }

signals:
    // About to follow the name on bus: the service's signals are to be
    // subscribed now, so that none sent once the owner is known is missed.
    void aboutToFollow(QDBusConnection bus);
    void appeared();  // the name has a new owner
    void vanished();  // the owner it had left

private slots:
    void onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    void setOwner(const QString& owner);

    QString m_name;
    QString m_owner;
    QDBusServiceWatcher* m_watcher = nullptr;
    bool m_reading = false;
};
