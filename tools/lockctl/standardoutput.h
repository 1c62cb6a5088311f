#pragma once

#include <QString>

class QTextStream;

// lockctl's standard output: a write that fails (a full disk, /dev/full, a
// closed descriptor) is an error, said on standard error, never a silent
// success.
namespace lockctl {

// Opens any of descriptors 0-2 that is closed: 0 on /dev/null, 1 and 2 on
// /dev/full, so that no file the tool opens takes the number and writes
// meant for a closed output fail as they should. Call before anything opens
// a file. Remembers whether standard output was closed.
void reopenClosedStandardDescriptors();

// Flushes out; when anything written to it was lost, says so on err and
// returns ExitFailure, else code.
int finishStandardOutput(QTextStream& out, QTextStream& err, int code);

// True when path names the file standard output writes to (/dev/stdout, or
// the file it was redirected to).
bool isStandardOutput(const QString& path);

} // namespace lockctl
