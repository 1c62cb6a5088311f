#pragma once

#include <QByteArray>
#include <QPointer>

#include <deque>
#include <functional>

class QSocketNotifier;

// Writes to a descriptor without ever blocking: what the descriptor does not
// take at once waits in a backlog of at most `limit` bytes, written out from
// the event loop when the descriptor becomes writable again. A text that does
// not fit in the backlog is dropped whole; a descriptor that fails (a reader
// that went away, a full device) loses what was waiting. Dropped lines are
// counted.
class NonBlockingOutput
{
public:
    NonBlockingOutput(int fd, qsizetype limit);
    ~NonBlockingOutput();
    Q_DISABLE_COPY_MOVE(NonBlockingOutput)

    // `lines`: how many lines the text holds, for the count of dropped lines.
    void write(const QByteArray& text, int lines);

    qsizetype backlog() const { return m_pending.size(); }
    qint64 droppedLines() const { return m_dropped; }
    // Called after each drop (from write or from the event loop).
    void setDropHandler(std::function<void()> handler) { m_onDrop = std::move(handler); }

private:
    struct Entry
    {
        qsizetype end; // offset in m_pending just past the entry
        int lines;
    };

    // How a write is kept from waiting on this descriptor, found at the
    // first write.
    enum class WriteWay { Unknown, Plain, NoWaitFlag, FlagWhileWriting };
    static WriteWay wayFor(int fd);

    void drain();
    void drop(qint64 lines);
    void watch(bool on);

    int m_fd;
    WriteWay m_way = WriteWay::Unknown;
    qsizetype m_limit;
    QByteArray m_pending;
    std::deque<Entry> m_entries;
    qint64 m_dropped = 0;
    std::function<void()> m_onDrop;
    QPointer<QSocketNotifier> m_notifier;
};
