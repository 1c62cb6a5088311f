#pragma once

#include <QString>

// The program's folder from the path it was started by: the text before the
// last "/", with "/" appended unless that text is empty or ".". A path with
// no "/" at all (started through the search path) gives executableDir, the
// folder of the running executable, with its trailing "/".
QString programDirectory(const QString& path, const QString& executableDir);
