#pragma once

#include "platform/displayplatform.h"

// The toolkit's offscreen platform: there is no screen, and nobody sees the
// window. A window of the phone's size; frames are composed as anywhere else
// (a paint redirected by grab() or render() still gets them) and handed to
// the base's present(), which drops them, rather than copied into a backing
// store nobody reads.
class OffscreenDisplay : public DisplayPlatform
{
    Q_OBJECT
public:
    bool presentsFrames() const override { return true; }
    bool fitsFramesItself() const override { return true; }
    bool framesAreSeen() const override { return false; }
};
