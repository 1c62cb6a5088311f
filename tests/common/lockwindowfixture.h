#pragma once

#include "common/appfolder.h"
#include "common/stdoutcapture.h"

#include "app/quelview.h"
#include "platform/wallclock.h"

#include <QByteArray>

#include <memory>

// A throw-away program folder and the lock window opened on it, reading the
// clock it is handed (the system's when none), with a capture of the lines
// the window writes once it is open.
class LockWindowFixture
{
public:
    LockWindowFixture();
    explicit LockWindowFixture(const WallClock& clock);
    ~LockWindowFixture();
    Q_DISABLE_COPY_MOVE(LockWindowFixture)

    AppFolder folder;

    // Opens the window on the folder as it is now, in place of any open one;
    // it hears the system channel on the session bus.
    quelView& open();
    // The classic skin (with `config` in place of its config.cfg when not
    // empty) opened, and its lines captured from then on.
    quelView& openClassic(const QByteArray& config = QByteArray());
    quelView& view() { return *m_view; }
    // Starts capturing standard output at the first call.
    StdoutCapture& out();

private:
    const WallClock m_systemClock;
    const WallClock& m_clock;
    std::unique_ptr<quelView> m_view;
    std::unique_ptr<StdoutCapture> m_out;
};
