#pragma once

#include <QByteArray>

// A regular file opened for reading, and nothing else: the path is checked
// before it is opened, as opening a device or a FIFO may block or already
// have an effect, and the descriptor after, as the path may have been
// swapped in between. The descriptor is closed with the object.
class RegularFile
{
public:
    enum class Status {
        Open,
        Failed,     // stat or open failed: error() says why
        Folder,
        NotRegular, // a device, FIFO or socket
    };

    // name: the path in the file-name encoding.
    explicit RegularFile(const QByteArray& name);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    Status status() const { return m_status; }
    // The reason (errno) of the step that failed, 0 if none did.
    int error() const { return m_error; }
    // The size the file had when it was opened.
    qint64 size() const { return m_size; }

    // Reads until the end of the file, but at most limit bytes. False, with
    // data empty and error() set, when a read fails.
    bool readAtMost(qint64 limit, QByteArray* data);

private:
    Status m_status = Status::Failed;
    int m_error = 0;
    qint64 m_size = 0;
    int m_fd = -1;
};
