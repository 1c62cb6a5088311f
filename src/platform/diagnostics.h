#pragma once

#include <QByteArray>

// Diagnostic lines go to standard output as they stand (never as a format)
// and are flushed at once, so a process reading the pipe sees each line as
// it happens.
void writeDiagnostic(const QByteArray& text);
void writeDiagnostic(const char* text);

// A warning line on standard error (for example: no session bus).
void writeWarning(const QByteArray& text);

// The companion tool runs the lock window's code to compose previews; it
// silences the window's lines and warnings so that its own output stays clean.
void setDiagnosticsEnabled(bool enabled);
