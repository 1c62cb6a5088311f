#include "diagnostics.h"

#include <cstdio>
#include <cstring>

namespace {
bool diagnosticsEnabled = true;
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
    std::fflush(stdout);
}

void writeDiagnostic(const char* text)
{
    if (!diagnosticsEnabled)
        return;
    std::fwrite(text, 1, std::strlen(text), stdout);
    std::fflush(stdout);
}
