#include "diagnostics.h"

#include <cstdio>
#include <cstring>

void writeDiagnostic(const QByteArray& text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

void writeDiagnostic(const char* text)
{
    std::fwrite(text, 1, std::strlen(text), stdout);
    std::fflush(stdout);
}
