#pragma once

#include "common/stdoutcapture.h"
#include "common/systemmessage.h"

#include "app/quelview.h"
#include "platform/qcstring.h"

#include <QByteArray>
#include <QtGlobal>


// Figures and helpers shared by the robustness tests: memory from
// /proc/self/status, messages on the system channel, and one lock cycle driven
// through the real window.

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"), or -1.
qint64 statusKb(const char* field);
// Resets VmHWM to the current resident size, so that it then holds the peak
// of what follows. False when the kernel refuses.
bool resetPeakResident();

// Hands the allocator's free heap back to the system, so that resident
// memory counts live data only.
void releaseFreeHeap();

// Resident-memory bounds mean nothing under AddressSanitizer, whose shadow
// memory and quarantine of freed blocks inflate every figure.
bool memoryBoundsApply();
// Sanitizer builds run several times slower; time bounds are scaled by this.
int slowdownFactor();

struct CycleFigures
{
    double raiseMs = 0;   // "LCDOff" sent until the first frame is complete
    double frameMs = 0;   // one whole paint of the raised window, median of 5
    double armedFrameMs = 0; // the paint after the middle key (second hint)
};

// One lock cycle: "LCDOff" shows the window and a frame is painted, "LCDOn"
// paints again, timed repaints, the middle key arms (and repaints), the star
// key hides. Fails the running test (QVERIFY) when a step does not happen.
void verifyLockCycle(quelView& view, StdoutCapture& out, CycleFigures* figures);

// The number of complete lines equal to `line` in a diagnostic text, where
// each line is written as "\nTEXT\n" or "TEXT\n".
int countLines(const QByteArray& text, const QByteArray& line);
