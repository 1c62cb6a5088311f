#include "platform/zconfig.h"

#include "platform/inidocument.h"

#include <climits>

ZConfig::ZConfig(const QString& path, bool flag)
{
    Q_UNUSED(flag);
    const IniDocument doc = IniDocument::fromFile(path);
    QHash<QString, QString>* entries = nullptr;
    for (const IniDocument::Line& line : doc.lines()) {
        // A reopened group lands in the same inner hash, and a later entry
        // overwrites an earlier one. The pointer is fetched again at every
        // group line, before m_groups can grow and move its values.
        if (line.kind == IniDocument::LineKind::Group || !entries)
            entries = &m_groups[line.group];
        if (line.kind == IniDocument::LineKind::Entry)
            entries->insert(line.key, line.value);
    }
}

QString ZConfig::readEntry(const QString& group, const QString& key, const QString& def) const
{
    const auto groupIt = m_groups.constFind(group);
    if (groupIt == m_groups.cend())
        return def;
    const auto it = groupIt->constFind(key);
    return it == groupIt->cend() ? def : *it;
}

int ZConfig::readNumEntry(const QString& group, const QString& key, int def) const
{
    const QString text = readEntry(group, key);
    return toNumber(text).value_or(def);
}

std::optional<int> ZConfig::toNumber(QStringView text)
{
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    // The magnitude stops growing at the first digit that leaves the range,
    // so it never overflows however long the text is.
    const qint64 limit = negative ? -qint64(INT_MIN) : qint64(INT_MAX);
    qint64 magnitude = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c.unicode() - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return int(negative ? -magnitude : magnitude);
}
