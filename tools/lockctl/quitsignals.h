#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into the signal received(), delivered by
// the event loop, for the lifetime of the object (one at a time). The
// previous handlers come back when it is destroyed.
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // A signal came in (also before the event loop ran).
    bool hasArrived() const;

signals:
    void received();

private slots:
    void onReadable();

private:
    QSocketNotifier* m_notifier = nullptr;
};
