#pragma once

#include <QByteArray>

// Diagnostic lines go to standard output as they stand (never as a format)
// and are flushed at once, so a process reading the pipe sees each line as
// it happens.
void writeDiagnostic(const QByteArray& text);
void writeDiagnostic(const char* text);
