#pragma once

#include "platform/diagnostics.h"
#include "platform/wallclock.h"

#include <QImage>
#include <QString>

#include <ctime>
#include <memory>

class quelView;

// Frames of the lock screen composed off the screen by the lock window's own
// code, for a chosen time and hint state: what the window would show then.
// The window's diagnostic lines are silenced while a preview exists.
class FramePreview
{
public:
    // appDir: the program folder holding config.cfg and skin/. skin: a skin
    // folder name to use instead of the one config.cfg selects (empty: that one).
    FramePreview(const QString& appDir, const QString& skin = QString());
    ~FramePreview();

    // The skin folder in use, ending in "/".
    QString skinDir() const;
    // False when the background image could not be loaded: a frame is then empty.
    bool hasFrame() const;
    // The frame at the local time `at`, with the unlock armed or not.
    QImage frame(time_t at, bool armed);

private:
    // Restores the caller's sink once the window is gone.
    SilencedDiagnostics m_silenced;
    // The window reads the time from this clock, set for each frame.
    FixedWallClock m_clock;
    std::unique_ptr<quelView> m_view;
};
