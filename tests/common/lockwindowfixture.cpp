#include "lockwindowfixture.h"

LockWindowFixture::LockWindowFixture()
    : m_clock(m_systemClock)
{
}

LockWindowFixture::LockWindowFixture(const WallClock& clock)
    : m_clock(clock)
{
}

LockWindowFixture::~LockWindowFixture()
{
    // The window's last lines still go to the capture.
    m_view.reset();
    m_out.reset();
}

quelView& LockWindowFixture::open()
{
    m_view.reset();
    m_view = std::make_unique<quelView>(folder.programPath(), m_clock);
    return *m_view;
}

quelView& LockWindowFixture::openClassic(const QByteArray& config)
{
    folder.writeClassic();
    if (!config.isEmpty())
        folder.writeConfig(config);
    open();
    out();
    return *m_view;
}

StdoutCapture& LockWindowFixture::out()
{
    if (!m_out)
        m_out = std::make_unique<StdoutCapture>();
    return *m_out;
}
