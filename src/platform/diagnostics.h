#pragma once

#include <QByteArray>

// Diagnostic lines go to standard output as they stand (never as a format),
// each at once, so a process reading the pipe sees each line as it happens;
// inside a DiagnosticBatch, when the batch ends. They go through the current
// DiagnosticSink, which a tool or a test replaces for a while with a
// ScopedDiagnosticSink.
void writeDiagnostic(const QByteArray& text);
void writeDiagnostic(const char* text);

// A warning line on standard error (for example: no session bus).
void writeWarning(const QByteArray& text);

// Text received from outside (a message name) made safe to put on a line:
// control characters are written as escapes ("\n" as backslash and n, others
// as \xHH or \uHHHH), so that nobody can forge a line; printable text,
// including any UTF-8, is left as it is.
QByteArray escapedForLine(const QByteArray& text);

// Where diagnostic lines and warnings end up.
class DiagnosticSink
{
public:
    virtual ~DiagnosticSink() = default;
    // `lines` is how many diagnostic lines `text` holds (for the count of
    // lines dropped).
    virtual void writeLines(const QByteArray& text, int lines) = 0;
    virtual void writeWarning(const QByteArray& text) = 0;
};

// Drops everything: for tools that run the lock window's code and keep their
// own output clean.
class SilentDiagnosticSink : public DiagnosticSink
{
public:
    void writeLines(const QByteArray&, int) override {}
    void writeWarning(const QByteArray&) override {}
};

// Keeps everything in memory, for tests.
class CapturingDiagnosticSink : public DiagnosticSink
{
public:
    void writeLines(const QByteArray& text, int) override { lines += text; }
    void writeWarning(const QByteArray& text) override { warnings += text; }
    QByteArray lines;
    QByteArray warnings;
};

class NonBlockingOutput;

// The process's standard output and error (the default sink). Writing never
// blocks the caller: what a slow reader has not taken yet waits in a bounded
// backlog that is drained when the descriptor becomes writable again (from
// the event loop). Lines that do not fit, or that cannot be written at all (a
// reader that went away, a full device), are dropped and counted, and the
// first drop is reported once on standard error.
class StandardStreamsSink : public DiagnosticSink
{
public:
    static constexpr qsizetype DefaultBacklogLimit = 256 * 1024;

    explicit StandardStreamsSink(int outFd = 1, int errFd = 2, qsizetype backlogLimit = DefaultBacklogLimit);
    ~StandardStreamsSink() override;
    Q_DISABLE_COPY_MOVE(StandardStreamsSink)

    void writeLines(const QByteArray& text, int lines) override;
    void writeWarning(const QByteArray& text) override;

    qint64 droppedLines() const;
    qsizetype backlog() const;

private:
    NonBlockingOutput* m_out;
    NonBlockingOutput* m_err;
    bool m_dropReported = false;
};

// The process-wide sink of standard streams.
StandardStreamsSink& standardStreamsSink();

// Makes `sink` the current sink while it lives, then restores the previous
// one (guards nest).
class ScopedDiagnosticSink
{
public:
    explicit ScopedDiagnosticSink(DiagnosticSink& sink);
    ~ScopedDiagnosticSink();
    Q_DISABLE_COPY_MOVE(ScopedDiagnosticSink)

private:
    DiagnosticSink* m_previous;
};

// Silences diagnostics while it lives.
class SilencedDiagnostics
{
public:
    SilencedDiagnostics() : m_guard(m_silent) {}

private:
    SilentDiagnosticSink m_silent;
    ScopedDiagnosticSink m_guard;
};

// Holds back the lines written while it lives and writes them out together
// when the outermost batch ends. A frame writes three lines; to a pipe each
// write wakes the reader, which on a loaded machine costs more than drawing
// the frame, so a paint writes its lines once, when it is over.
class DiagnosticBatch
{
public:
    DiagnosticBatch();
    ~DiagnosticBatch();
    Q_DISABLE_COPY_MOVE(DiagnosticBatch)
};
