#include "platform/diagnostics.h"

#include "platform/nonblockingoutput.h"

#include <cstring>

namespace {
DiagnosticSink* currentSink = nullptr;
int openBatches = 0;
QByteArray batchText;
int batchLines = 0;

DiagnosticSink& sink()
{
    return currentSink ? *currentSink : standardStreamsSink();
}

void writeLine(const char* text, qsizetype size)
{
    if (openBatches > 0) {
        batchText.append(text, size);
        ++batchLines;
        return;
    }
    sink().writeLines(QByteArray::fromRawData(text, size), 1);
}

void appendHex(QByteArray& out, const char* prefix, unsigned value, int digits)
{
    static const char hex[] = "0123456789abcdef";
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += hex[(value >> shift) & 0xf];
}
} // namespace

void writeDiagnostic(const QByteArray& text)
{
    writeLine(text.constData(), text.size());
}

void writeDiagnostic(const char* text)
{
    writeLine(text, qsizetype(std::strlen(text)));
}

void writeWarning(const QByteArray& text)
{
    sink().writeWarning(text);
}

QByteArray escapedForLine(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.constData());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char c = bytes[i];
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            appendHex(out, "\\x", c, 2);
        } else if (c == 0xc2 && i + 1 < size && bytes[i + 1] >= 0x80 && bytes[i + 1] <= 0x9f) {
            // C1 controls (U+0080..U+009F, NEL among them).
            appendHex(out, "\\u", bytes[i + 1], 4);
            ++i;
        } else if (c == 0xe2 && i + 2 < size && bytes[i + 1] == 0x80 && (bytes[i + 2] == 0xa8 || bytes[i + 2] == 0xa9)) {
            // The line and paragraph separators, which some readers split on.
            appendHex(out, "\\u", 0x2000u | (bytes[i + 2] - 0x80u), 4);
            i += 2;
        } else {
            out += char(c);
        }
    }
    return out;
}

StandardStreamsSink::StandardStreamsSink(int outFd, int errFd, qsizetype backlogLimit)
    : m_out(new NonBlockingOutput(outFd, backlogLimit))
    , m_err(new NonBlockingOutput(errFd, 16 * 1024))
{
    m_out->setDropHandler([this] {
        if (m_dropReported)
            return;
        m_dropReported = true;
        m_err->write("warning: standard output is not keeping up or is gone; diagnostic lines are "
                     "being dropped\n",
                     1);
    });
}

StandardStreamsSink::~StandardStreamsSink()
{
    delete m_out;
    delete m_err;
}

void StandardStreamsSink::writeLines(const QByteArray& text, int lines)
{
    m_out->write(text, lines);
}

void StandardStreamsSink::writeWarning(const QByteArray& text)
{
    m_err->write(text, 1);
}

qint64 StandardStreamsSink::droppedLines() const
{
    return m_out->droppedLines();
}

qsizetype StandardStreamsSink::backlog() const
{
    return m_out->backlog();
}

StandardStreamsSink& standardStreamsSink()
{
    static StandardStreamsSink streams;
    return streams;
}

ScopedDiagnosticSink::ScopedDiagnosticSink(DiagnosticSink& sink)
    : m_previous(currentSink)
{
    currentSink = &sink;
}

ScopedDiagnosticSink::~ScopedDiagnosticSink()
{
    currentSink = m_previous;
}

DiagnosticBatch::DiagnosticBatch()
{
    ++openBatches;
}

DiagnosticBatch::~DiagnosticBatch()
{
    if (--openBatches > 0 || batchText.isEmpty())
        return;
    QByteArray text;
    text.swap(batchText);
    const int lines = batchLines;
    batchLines = 0;
    sink().writeLines(text, lines);
}
