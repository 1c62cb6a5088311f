#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>

// The phone's settings reader: reads one INI-style file once, at
// construction, and answers lookups by group and key. The syntax is
// described in inidocument.h. Nothing is ever written back.
class ZConfig
{
public:
    // A missing or unreadable file behaves as a file with no groups. The flag
    // is kept for the platform's signature and has no effect.
    explicit ZConfig(const QString& path, bool flag = true);

    // The stored text (empty, not null, for "Key="), or def when the group or
    // key is absent.
    QString readEntry(const QString& group, const QString& key,
                      const QString& def = QString()) const;

    // The stored value as a decimal integer, or def when it is absent or not
    // a whole number in the int range (see toNumber).
    int readNumEntry(const QString& group, const QString& key, int def = -1) const;

    // The integer rule: an optional '+' or '-' and one or more ASCII digits,
    // nothing else, within [INT_MIN, INT_MAX]. Leading zeros are allowed.
    static std::optional<int> toNumber(QStringView text);

private:
    QHash<QString, QHash<QString, QString>> m_groups;
};
