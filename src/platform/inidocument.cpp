#include "platform/inidocument.h"

#include "platform/regularfile.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Decodes UTF-8 without dropping anything: QString::fromUtf8 would swallow a
// U+FEFF at the start of each piece, so "\xEF\xBB\xBF=v" would get an empty
// key. Only the file's leading BOM is skipped, by the caller.
class Utf8
{
public:
    // Never null, so callers can tell an empty value from a missing one.
    QString operator()(QByteArrayView bytes)
    {
        if (bytes.isEmpty())
            return QString(0, QChar());
        return m_decoder.decode(bytes);
    }

private:
    QStringDecoder m_decoder { QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom };
};

} // namespace

IniDocument IniDocument::fromBytes(QByteArrayView bytes)
{
    IniDocument doc;
    if (bytes.size() > MaxBytes) {
        doc.m_truncated = true;
        bytes = bytes.first(MaxBytes);
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);

    // One line per LF, plus a last one without: reserving saves regrowing.
    doc.m_lines.reserve(std::count(bytes.begin(), bytes.end(), '\n') + 1);

    Utf8 decoded;
    QString group = decoded({});
    int number = 0;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const char* begin = bytes.data() + pos;
        const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', size_t(bytes.size() - pos)));
        QByteArrayView text(begin, lf ? lf - begin : bytes.size() - pos);
        pos += text.size() + 1;
        if (lf && text.endsWith('\r'))
            text.chop(1);

        Line line;
        line.number = ++number;
        line.raw = decoded(text);
        const QByteArrayView body = trimmed(text);
        const qsizetype equals = body.indexOf('=');
        if (!lf && doc.m_truncated) {
            line.kind = LineKind::Ignored; // cut short by the size limit
        } else if (body.isEmpty()) {
            line.kind = LineKind::Blank;
        } else if (body.front() == '#' || body.front() == ';') {
            line.kind = LineKind::Comment;
        } else if (body.size() >= 2 && body.front() == '[' && body.back() == ']') {
            line.kind = LineKind::Group;
            group = decoded(trimmed(body.sliced(1, body.size() - 2)));
        } else if (equals > 0) {
            // body is trimmed, so a key before '=' is never empty after trimming.
            line.kind = LineKind::Entry;
            line.key = decoded(trimmed(body.first(equals)));
            line.value = decoded(trimmed(body.sliced(equals + 1)));
        } else {
            line.kind = LineKind::Ignored;
        }
        line.group = group;
        doc.m_lines.append(std::move(line));
    }
    return doc;
}

IniDocument IniDocument::fromFile(const QString& path)
{
    // One byte past the limit tells a file that is cut short.
    QByteArray data;
    RegularFile file(QFile::encodeName(path));
    if (!file.readAtMost(MaxBytes + 1, &data))
        return IniDocument();
    return fromBytes(data);
}
