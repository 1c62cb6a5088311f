#pragma once

#include <QByteArray>

// Diagnostic lines go to standard output as they stand (never as a format)
// and are flushed at once, so a process reading the pipe sees each line as
// it happens; inside a DiagnosticBatch, when the batch ends.
void writeDiagnostic(const QByteArray& text);
void writeDiagnostic(const char* text);

// A warning line on standard error (for example: no session bus).
void writeWarning(const QByteArray& text);

// The companion tool runs the lock window's code to compose previews; it
// silences the window's lines and warnings so that its own output stays clean.
void setDiagnosticsEnabled(bool enabled);

// Holds back the lines written while it lives and writes them out together
// when the outermost batch ends. A frame writes three lines; to a pipe each
// write wakes the reader, which on a loaded machine costs more than drawing
// the frame, so a paint writes its lines once, when it is over.
class DiagnosticBatch
{
public:
    DiagnosticBatch();
    ~DiagnosticBatch();
    DiagnosticBatch(const DiagnosticBatch&) = delete;
    DiagnosticBatch& operator=(const DiagnosticBatch&) = delete;
};
