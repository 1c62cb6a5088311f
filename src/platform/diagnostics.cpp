#include "diagnostics.h"

#include <cstdio>
#include <cstring>

namespace {
bool diagnosticsEnabled = true;
int openBatches = 0;

void flushUnlessBatched()
{
    if (openBatches == 0)
        std::fflush(stdout);
}
} // namespace

DiagnosticBatch::DiagnosticBatch()
{
    ++openBatches;
}

DiagnosticBatch::~DiagnosticBatch()
{
    if (--openBatches == 0)
        std::fflush(stdout);
}

void setDiagnosticsEnabled(bool enabled)
{
    diagnosticsEnabled = enabled;
}

void writeWarning(const QByteArray& text)
{
    if (!diagnosticsEnabled)
        return;
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

void writeDiagnostic(const QByteArray& text)
{
    if (!diagnosticsEnabled)
        return;
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    flushUnlessBatched();
}

void writeDiagnostic(const char* text)
{
    if (!diagnosticsEnabled)
        return;
    std::fwrite(text, 1, std::strlen(text), stdout);
    flushUnlessBatched();
}
