#include "bridgelog.h"

BridgeLog::BridgeLog(QTextStream* verbose, QTextStream& err)
    : m_verbose(verbose)
    , m_err(err)
{
}

void BridgeLog::event(const QString& source, const QString& what, const QString& outcome)
{
    if (m_verbose == nullptr)
        return;
    *m_verbose << source << ": " << what << " -> " << outcome << '\n';
    m_verbose->flush();
}

void BridgeLog::warning(const QString& source, const QString& text)
{
    m_err << "lockctl bridge: " << source << ": " << text << '\n';
    m_err.flush();
}
