// libFuzzer harness for the settings reader: the input is the content of a
// settings file. It is read the way the lock screen reads config.cfg and
// skin.cfg (a file on disk through ZConfig, then every key it looks up) and is
// also parsed from memory by IniDocument. Besides crashes, leaks and
// sanitizer reports, the harness traps when the two readings disagree or a
// parsed line breaks the rules of inidocument.h.

#include "platform/inidocument.h"
#include "platform/zconfig.h"
#include "skin/settingcolour.h"
#include "skin/skinkeys.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// One temporary file per process, rewritten for every input: creating a file
// per input would cost more than the parsing under test. It stays open, and
// is rewritten in place rather than truncated to zero, because ext4 flushes a
// file to disk when one that was truncated to zero is closed.
std::string g_path;
int g_fd = -1;

void removeFile()
{
    if (!g_path.empty())
        ::unlink(g_path.c_str());
}

// $TMPDIR if set, else shared memory when there is some, else /tmp.
std::string temporaryFolder()
{
    const char* dir = std::getenv("TMPDIR");
    if (dir && *dir)
        return dir;
    if (::access("/dev/shm", W_OK | X_OK) == 0)
        return "/dev/shm";
    return "/tmp";
}

const std::string& writeSettingsFile(const uint8_t* data, size_t size)
{
    if (g_fd < 0) {
        std::string pattern = temporaryFolder() + "/lockapp-fuzz-settings-XXXXXX";
        g_fd = ::mkstemp(pattern.data());
        if (g_fd < 0) {
            std::perror("fuzz_settings: mkstemp");
            std::abort();
        }
        g_path = pattern;
        std::atexit(removeFile);
    }
    off_t offset = 0;
    while (size_t(offset) < size) {
        const ssize_t n = ::pwrite(g_fd, data + offset, size - size_t(offset), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            std::perror("fuzz_settings: write");
            std::abort();
        }
        offset += n;
    }
    if (::ftruncate(g_fd, off_t(size)) != 0) {
        std::perror("fuzz_settings: ftruncate");
        std::abort();
    }
    return g_path;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool isTrimmed(const QString& text)
{
    return text.isEmpty() || (!isBlank(text.front()) && !isBlank(text.back()));
}

// The line without the white space around it, by the reader's definition.
QStringView body(const QString& raw)
{
    QStringView text(raw);
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// The integer rule written out independently of ZConfig::toNumber.
std::optional<int> expectedNumber(const QString& text)
{
    qsizetype pos = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        pos = 1;
    }
    if (pos == text.size())
        return std::nullopt;
    for (qsizetype i = pos; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return std::nullopt;
    }
    while (pos < text.size() - 1 && text[pos] == u'0')
        ++pos;
    if (text.size() - pos > 10)
        return std::nullopt;
    const qint64 magnitude = text.sliced(pos).toLongLong();
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return int(value);
}

// The document's lines must follow the rules of inidocument.h; returns what
// ZConfig should answer for every group and key the document holds.
QHash<QPair<QString, QString>, QString> checkDocument(const IniDocument& doc, QByteArrayView bytes)
{
    if (bytes.size() > IniDocument::MaxBytes)
        bytes = bytes.first(IniDocument::MaxBytes);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    // One line per LF, plus the text after the last one if there is any.
    const qsizetype lineEnds = std::count(bytes.begin(), bytes.end(), '\n');
    const qsizetype expectedLines = lineEnds + (bytes.isEmpty() || bytes.back() == '\n' ? 0 : 1);
    check(doc.lines().size() == expectedLines);

    QHash<QPair<QString, QString>, QString> last;
    QString group = QStringLiteral("");
    int number = 0;
    for (const IniDocument::Line& line : doc.lines()) {
        check(line.number == ++number);
        check(!line.raw.contains(u'\n'));
        switch (line.kind) {
        case IniDocument::LineKind::Blank:
            check(std::all_of(line.raw.begin(), line.raw.end(), isBlank));
            break;
        case IniDocument::LineKind::Comment:
            check(body(line.raw).startsWith(u'#') || body(line.raw).startsWith(u';'));
            break;
        case IniDocument::LineKind::Group:
            check(body(line.raw).startsWith(u'[') && body(line.raw).endsWith(u']'));
            check(isTrimmed(line.group));
            check(!line.group.isNull());
            group = line.group;
            break;
        case IniDocument::LineKind::Entry:
            check(!line.key.isEmpty());
            check(isTrimmed(line.key) && isTrimmed(line.value));
            check(!line.value.isNull());
            check(!line.key.contains(u'='));
            last.insert({ line.group, line.key }, line.value);
            break;
        case IniDocument::LineKind::Ignored:
            break;
        }
        check(line.group == group);
    }
    return last;
}

// The lookups of the lock screen: config.cfg's keys, then skin.cfg's.
void readLikeTheLockScreen(const ZConfig& config, const QHash<QPair<QString, QString>, QString>& expected)
{
    const QString absent = QStringLiteral("\x01absent");
    auto lookUp = [&](const QString& group, const QString& key) {
        const QString text = config.readEntry(group, key, absent);
        check(text == expected.value({ group, key }, absent));
        const int number = config.readNumEntry(group, key, -1);
        check(number == (text == absent ? -1 : expectedNumber(text).value_or(-1)));
        return text;
    };

    const QString general = QStringLiteral("General");
    lookUp(general, QStringLiteral("Skin"));
    lookUp(general, QStringLiteral("TimeOut"));
    for (const SkinKey& key : skinFileKeys()) {
        const QString text = lookUp(QString::fromLatin1(key.group), QString::fromLatin1(key.key));
        // Colours are turned into QColor when a frame is painted.
        if (key.kind == SkinKey::Colour) {
            const QRgb rgb = colourFromSetting(text == absent ? QString() : text).rgb();
            check(qAlpha(rgb) == 255);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const IniDocument doc = IniDocument::fromBytes(bytes);
    check(doc.isTruncated() == (bytes.size() > IniDocument::MaxBytes));
    const QHash<QPair<QString, QString>, QString> expected = checkDocument(doc, bytes);

    // From disk, as the lock screen reads it.
    const std::string& path = writeSettingsFile(data, size);
    const ZConfig config(QString::fromStdString(path), true);
    readLikeTheLockScreen(config, expected);

    // Every entry of the file is found again, with the last value written.
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        check(config.readEntry(it.key().first, it.key().second) == it.value());
        check(config.readNumEntry(it.key().first, it.key().second, -1) == expectedNumber(it.value()).value_or(-1));
    }
    return 0;
}
