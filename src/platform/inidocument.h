#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One settings file, parsed line by line. ZConfig looks values up in it, and a
// checking tool can walk the same lines to point at FILE:LINE.
//
// Syntax, one line at a time:
// - The text is UTF-8. A leading byte order mark is skipped; each invalid byte
//   decodes to U+FFFD. NUL bytes are ordinary characters.
// - A line ends at LF; a CR right before the LF belongs to the line end. A
//   lone CR is not a line end but part of the line's text.
// - White space means ASCII space, tab, vertical tab, form feed and CR. It is
//   trimmed around the whole line, group names, keys and values. Other spaces
//   (U+00A0, U+3000, ...) are text, so a hint may start with one.
// - After trimming, a line is, checked in this order:
//   - blank: nothing left;
//   - a comment: it starts with '#' or ';'. Only whole lines are comments:
//     "Key=a ; b" has the value "a ; b";
//   - a group: it starts with '[' and ends with ']'. The name is everything
//     in between, trimmed ("[[x]]" names "[x]"). "[]" names the group "",
//     the one that also holds the keys before the first group line;
//   - an entry: it holds '='. The key is the text before the first '=', the
//     value all text after it, both trimmed. An empty key ("=value") makes
//     the line ignored;
//   - ignored: anything else.
// - Keys before the first group line belong to the group "", which is not
//   "General". A group that appears again continues the earlier one. Names
//   are case-sensitive. Of several entries with the same key in one group,
//   the last one counts.
// - Only the first MaxBytes bytes are read. The line cut by that limit, if
//   any, is ignored, so a value is never read half.
//
// Debian's libinih does not fit these rules: its packaged build takes inline
// ';' comments, continuation lines and limits lines to 200 bytes.
class IniDocument
{
public:
    enum class LineKind { Blank, Comment, Group, Entry, Ignored };

    struct Line
    {
        int number = 0; // 1-based
        LineKind kind = LineKind::Blank;
        QString group;  // the group line's own name, or the group the line lies in
        QString key;    // entries only
        QString value;  // entries only; an empty value is empty, never null
        QString raw;    // the line as written, without its line end
    };

    static constexpr qsizetype MaxBytes = 1024 * 1024;

    IniDocument() = default;

    static IniDocument fromBytes(QByteArrayView bytes);

    // Opens regular files only, so a FIFO or a device never blocks or
    // triggers anything. A missing, unreadable or non-regular path gives an
    // empty document.
    static IniDocument fromFile(const QString& path);

    const QList<Line>& lines() const { return m_lines; }
    // True when the input was longer than MaxBytes and the rest was dropped.
    bool isTruncated() const { return m_truncated; }

private:
    QList<Line> m_lines;
    bool m_truncated = false;
};
