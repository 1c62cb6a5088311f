#pragma once

#include "platform/inidocument.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class CheckReport;

// Why a settings file cannot be read as one (no such file, a folder, not a
// regular file, permission denied), or an empty text when it can.
QString whyUnreadable(const QString& filePath);

// Walks the lines of one settings file (config.cfg or a skin.cfg) against
// the keys the lock screen reads from it. It reports what the reader drops or
// what the lock screen never asks for, and remembers where each key is set;
// the values themselves are for its caller to judge.
class SettingsFileScan
{
public:
    struct Key
    {
        QString group;
        QString key;
    };
    // The keys the lock screen reads from one file.
    struct KeySet
    {
        QString fileName;  // "config.cfg", "skin.cfg"
        QList<Key> keys;
    };

    // `path` is the file as shown in diagnostics; `own` are the keys read
    // from this file, `other` those read from the other file, so that a key
    // put into the wrong file can be told.
    SettingsFileScan(const IniDocument& document, const QString& path, const KeySet& own, const KeySet& other);

    // How many findings of one kind reportLines lists per file.
    static constexpr int MostListed = 100;

    // Reports, as warnings: lines the reader ignores, a cut at the size
    // limit, text that was not UTF-8, groups and keys the lock screen never
    // reads (with a guess at what was meant), and repeated keys; past
    // MostListed of a kind, one line counts the rest.
    void reportLines(CheckReport& report) const;

    // The line that sets the key: the last one when it is repeated, since
    // that one wins. Null when the key is not set.
    const IniDocument::Line* entry(const QString& group, const QString& key) const;
    // The first line that opens the group; 0 when the file has none.
    int groupLine(const QString& group) const;

private:
    void reportIgnored(CheckReport& report, const IniDocument::Line& line) const;
    void reportUnknownGroup(CheckReport& report, const IniDocument::Line& line) const;
    void reportUnknownKey(CheckReport& report, const IniDocument::Line& line) const;
    bool isOwnGroup(const QString& group) const;
    bool isOwnKey(const QString& group, const QString& key) const;

    IniDocument m_document;
    QString m_path;
    KeySet m_own;
    KeySet m_other;
    // Looked up once per line: sets, so that a file of many groups or keys
    // is checked in time linear in its size.
    QStringList m_ownGroups;
    QStringList m_otherGroups;
    QSet<QString> m_ownGroupSet;
    QSet<QString> m_otherGroupSet;
    QHash<QString, QStringList> m_ownKeys;  // group -> its keys, in order
    QHash<QString, QSet<QString>> m_ownKeySets;
    QHash<QString, int> m_groupLines;
    QHash<QString, QHash<QString, qsizetype>> m_lastEntries;  // group -> key -> index in lines()
};
