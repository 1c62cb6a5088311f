#pragma once

#include <QObject>

#include <chrono>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into the signal received(), delivered by
// the event loop, for the lifetime of the object (one at a time). The
// previous handlers come back when it is destroyed.
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    // A bound on the clean end: a process still running `grace` after the
    // first signal ends from a timer, with exit code 0 and `warning` (which
    // must outlive the object) on standard error. It also covers a process
    // whose event loop cannot be told: without a pipe the signal ends it at
    // once, with exit code 0.
    struct Deadline
    {
        std::chrono::milliseconds grace;
        const char* warning;
    };

    explicit QuitSignals(QObject* parent = nullptr);
    explicit QuitSignals(const Deadline& deadline, QObject* parent = nullptr);
    ~QuitSignals() override;

    // A signal came in (also before the event loop ran).
    bool hasArrived() const;

signals:
    void received();

private slots:
    void onReadable();

private:
    void install(const Deadline* deadline);

    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};
