#pragma once

#include <QList>
#include <QString>

// Text from a file as a message quotes it: whole up to LongestShownText
// characters, else its start, "..." and its length, so that a value of a
// megabyte makes a line of a message, not a megabyte of output. Control
// characters are written as escapes ("\0", "\x0a").
constexpr qsizetype LongestShownText = 80;
QString shownText(const QString& text);

// One finding about a settings or skin file, in the form compilers use so
// that editors and CI can jump to it: "FILE:LINE: error: MESSAGE".
struct CheckDiagnostic
{
    enum Severity { Error, Warning };

    QString file;
    int line = 1;
    Severity severity = Error;
    QString message;

    QString toString() const;
};

// The findings of one check. Files keep the order in which they were first
// reported on; within a file the findings are ordered by line, and findings
// on one line keep the order they were reported in.
class CheckReport
{
public:
    void error(const QString& file, int line, const QString& message);
    void warning(const QString& file, int line, const QString& message);

    QList<CheckDiagnostic> diagnostics() const;
    int errorCount() const;
    int warningCount() const;

    // "2 errors, 1 warning", "1 warning", or "no problems".
    QString summary() const;

private:
    void add(const QString& file, int line, CheckDiagnostic::Severity severity, const QString& message);

    QList<CheckDiagnostic> m_items;
};
