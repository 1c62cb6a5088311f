#include "skincheck/settingsfilescan.h"

#include "skincheck/checkreport.h"
#include "skincheck/namesuggestion.h"

#include <QFileInfo>
#include <QStringList>

namespace {

QStringList groupsOf(const SettingsFileScan::KeySet& set)
{
    QStringList groups;
    for (const SettingsFileScan::Key& k : set.keys)
        if (!groups.contains(k.group))
            groups.append(k.group);
    return groups;
}

QStringList keysOf(const SettingsFileScan::KeySet& set, const QString& group)
{
    QStringList keys;
    for (const SettingsFileScan::Key& k : set.keys)
        if (k.group == group)
            keys.append(k.key);
    return keys;
}

// The key of the set that differs from `key` at most in case, if any.
const SettingsFileScan::Key* sameKeyAnyCase(const SettingsFileScan::KeySet& set, const QString& key)
{
    for (const SettingsFileScan::Key& k : set.keys)
        if (k.key.compare(key, Qt::CaseInsensitive) == 0)
            return &k;
    return nullptr;
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// A line as quoted in a message: trimmed, and shortened when long.
QString excerpt(const QString& raw)
{
    const QString text = raw.trimmed();
    return quoted(text.size() > 40 ? text.left(37) + QLatin1String("...") : text);
}

} // namespace

SettingsFileScan::SettingsFileScan(const IniDocument& document, const QString& path, const KeySet& own,
                                   const KeySet& other)
    : m_document(document), m_path(path), m_own(own), m_other(other)
    , m_ownGroups(groupsOf(own)), m_otherGroups(groupsOf(other))
    , m_ownGroupSet(m_ownGroups.cbegin(), m_ownGroups.cend())
    , m_otherGroupSet(m_otherGroups.cbegin(), m_otherGroups.cend())
{
    for (const QString& group : std::as_const(m_ownGroups)) {
        m_ownKeys.insert(group, keysOf(own, group));
        const QStringList& keys = m_ownKeys[group];
        m_ownKeySets.insert(group, QSet<QString>(keys.cbegin(), keys.cend()));
    }
    const QList<IniDocument::Line>& lines = m_document.lines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const IniDocument::Line& line = lines.at(i);
        if (line.kind == IniDocument::LineKind::Group && !m_groupLines.contains(line.group))
            m_groupLines.insert(line.group, line.number);
        else if (line.kind == IniDocument::LineKind::Entry)
            m_lastEntries[line.group][line.key] = i;
    }
}

const IniDocument::Line* SettingsFileScan::entry(const QString& group, const QString& key) const
{
    const auto groupIt = m_lastEntries.constFind(group);
    if (groupIt == m_lastEntries.cend())
        return nullptr;
    const auto it = groupIt->constFind(key);
    return it == groupIt->cend() ? nullptr : &m_document.lines().at(*it);
}

int SettingsFileScan::groupLine(const QString& group) const
{
    return m_groupLines.value(group, 0);
}

bool SettingsFileScan::isOwnGroup(const QString& group) const
{
    return m_ownGroupSet.contains(group);
}

bool SettingsFileScan::isOwnKey(const QString& group, const QString& key) const
{
    const auto it = m_ownKeySets.constFind(group);
    return it != m_ownKeySets.cend() && it->contains(key);
}

void SettingsFileScan::reportLines(CheckReport& report) const
{
    const QList<IniDocument::Line>& lines = m_document.lines();
    // The reader drops the line cut by the size limit like any line it
    // cannot read; that one gets its own message.
    const IniDocument::Line* cutLine = nullptr;
    if (m_document.isTruncated() && !lines.isEmpty() && lines.last().kind == IniDocument::LineKind::Ignored)
        cutLine = &lines.last();

    QHash<QString, QHash<QString, int>> seen;  // group -> key -> line of its latest entry so far
    QSet<QString> reportedGroups;
    // Each kind of finding is listed MostListed times per file; the rest are
    // counted in one closing line, so that a file of a hundred thousand
    // unknown groups gives a report one can read, in time linear in the file.
    enum Kind { NotUtf8, Ignored, UnknownGroup, BeforeGroup, UnknownKey, Repeated, KindCount };
    struct Unlisted
    {
        int count = 0;
        int firstLine = 0;
    };
    int listedCount[KindCount] = {};
    Unlisted unlisted[KindCount];
    const auto listed = [&](Kind kind, int lineNumber) {
        if (listedCount[kind] < MostListed) {
            ++listedCount[kind];
            return true;
        }
        if (unlisted[kind].count++ == 0)
            unlisted[kind].firstLine = lineNumber;
        return false;
    };
    for (const IniDocument::Line& line : lines) {
        // The reader turns each byte that is not UTF-8 into U+FFFD.
        if (line.raw.contains(QChar::ReplacementCharacter) && listed(NotUtf8, line.number))
            report.warning(m_path, line.number,
                           QStringLiteral("the line holds bytes that are not UTF-8; the lock screen shows each "
                                          "as \uFFFD (save the file as UTF-8)"));
        switch (line.kind) {
        case IniDocument::LineKind::Blank:
        case IniDocument::LineKind::Comment:
            break;
        case IniDocument::LineKind::Ignored:
            if (&line != cutLine && listed(Ignored, line.number))
                reportIgnored(report, line);
            break;
        case IniDocument::LineKind::Group:
            if (!isOwnGroup(line.group) && !reportedGroups.contains(line.group)) {
                if (listed(UnknownGroup, line.number))
                    reportUnknownGroup(report, line);
                reportedGroups.insert(line.group);
            }
            break;
        case IniDocument::LineKind::Entry:
            if (line.group.isEmpty() && !m_groupLines.contains(line.group)) {
                if (!listed(BeforeGroup, line.number))
                    break;
                const Key* known = sameKeyAnyCase(m_own, line.key);
                report.warning(m_path, line.number,
                               QStringLiteral("key %1 stands before the first group and is ignored%2")
                                   .arg(quoted(shownText(line.key)),
                                        known ? QStringLiteral("; put it under [%1]").arg(known->group) : QString()));
            } else if (!isOwnGroup(line.group)) {
                // Its group is reported; one message for all its keys.
            } else if (!isOwnKey(line.group, line.key)) {
                if (listed(UnknownKey, line.number))
                    reportUnknownKey(report, line);
            } else {
                int& previous = seen[line.group][line.key];
                if (previous > 0 && listed(Repeated, line.number))
                    report.warning(m_path, line.number,
                                   QStringLiteral("%1 is repeated in [%2]; the last one wins, so line %3 is ignored")
                                       .arg(line.key, line.group, QString::number(previous)));
                previous = line.number;
            }
            break;
        }
    }

    const char* const unlistedWhat[KindCount] = {
        "lines with bytes that are not UTF-8", "ignored lines", "unknown groups", "keys before the first group",
        "unknown keys", "repeated keys",
    };
    for (int kind = 0; kind < KindCount; ++kind)
        if (unlisted[kind].count > 0)
            report.warning(m_path, unlisted[kind].firstLine,
                           QStringLiteral("%1 more %2 from here on are not listed")
                               .arg(QString::number(unlisted[kind].count), QLatin1String(unlistedWhat[kind])));

    if (m_document.isTruncated()) {
        const int line = cutLine ? cutLine->number : (lines.isEmpty() ? 1 : lines.last().number + 1);
        report.warning(m_path, line,
                       QStringLiteral("the file is longer than 1 MiB; the lock screen reads only the first 1 MiB "
                                      "and ignores everything from here on"));
    }
}

void SettingsFileScan::reportIgnored(CheckReport& report, const IniDocument::Line& line) const
{
    const QString text = line.raw.trimmed();
    QString why;
    if (text.startsWith(QLatin1Char('[')))
        why = QStringLiteral("%1 is no group line (it does not end with \"]\") and is ignored").arg(excerpt(text));
    else if (text.startsWith(QLatin1Char('=')))
        why = QStringLiteral("%1 has no key before \"=\" and is ignored").arg(excerpt(text));
    else
        why = QStringLiteral("%1 is neither a [group], a key=value line nor a comment, and is ignored")
                  .arg(excerpt(text));
    report.warning(m_path, line.number, why);
}

void SettingsFileScan::reportUnknownGroup(CheckReport& report, const IniDocument::Line& line) const
{
    const QString unknown = QStringLiteral("unknown group \"[%1]\" (its keys are ignored)").arg(shownText(line.group));
    const QString suggestion = closestName(line.group, m_ownGroups);
    if (!suggestion.isNull()) {
        report.warning(m_path, line.number, unknown + QStringLiteral("; did you mean \"[%1]\"?").arg(suggestion));
    } else if (m_otherGroupSet.contains(line.group)) {
        report.warning(m_path, line.number,
                       unknown + QStringLiteral(": the lock screen reads [%1] from %2").arg(line.group, m_other.fileName));
    } else {
        report.warning(m_path, line.number, unknown);
    }
}

void SettingsFileScan::reportUnknownKey(CheckReport& report, const IniDocument::Line& line) const
{
    const QString unknown = QStringLiteral("unknown key %1 in [%2]").arg(quoted(shownText(line.key)), line.group);
    const QString sameGroup = closestName(line.key, m_ownKeys.value(line.group));
    const bool caseSlip = !sameGroup.isNull() && sameGroup.compare(line.key, Qt::CaseInsensitive) == 0;
    const Key* elsewhere = sameKeyAnyCase(m_own, line.key);
    const Key* otherFile = sameKeyAnyCase(m_other, line.key);

    QString hint;
    if (!sameGroup.isNull() && (caseSlip || !elsewhere))
        hint = QStringLiteral("; did you mean %1?").arg(quoted(sameGroup));
    else if (elsewhere && elsewhere->key == line.key)
        hint = QStringLiteral("; it belongs in [%1]").arg(elsewhere->group);
    else if (elsewhere)
        hint = QStringLiteral("; did you mean %1 in [%2]?").arg(quoted(elsewhere->key), elsewhere->group);
    else if (otherFile)
        hint = QStringLiteral("; the lock screen reads %1 from %2").arg(quoted(otherFile->key), m_other.fileName);
    report.warning(m_path, line.number, unknown + hint);
}

QString whyUnreadable(const QString& filePath)
{
    const QFileInfo info(filePath);
    if (!info.exists())
        return QStringLiteral("there is no such file");
    if (info.isDir())
        return QStringLiteral("it is a folder");
    if (!info.isFile())
        return QStringLiteral("it is not a regular file");
    if (!info.isReadable())
        return QStringLiteral("permission denied");
    return QString();
}
