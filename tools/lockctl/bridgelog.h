#pragma once

#include <QString>
#include <QTextStream>

// Where the bridge speaks: with --verbose one line per event on standard
// output ("x11: blanked -> LCDOff"), and warnings on standard error
// ("lockctl bridge: logind: ..."). Each line is flushed at once, so an
// integrator following the output sees the event when it happens.
class BridgeLog
{
public:
    // verbose may be null: events are then not written.
    BridgeLog(QTextStream* verbose, QTextStream& err);

    void event(const QString& source, const QString& what, const QString& outcome);
    void warning(const QString& source, const QString& text);

private:
    QTextStream* m_verbose;
    QTextStream& m_err;
};
