#pragma once

#include <QString>

// The program's folder from the path it was started by: the text before the
// last "/", with "/" appended unless that text is empty or ".". A path with
// no "/" at all (started through the search path) gives executableDir, the
// folder of the running executable, with its trailing "/".
QString programDirectory(const QString& path, const QString& executableDir);

// The program path with a symbolic link at its end resolved (all the way to
// the real executable): the executable's own folder holds its settings and
// skin, wherever a link to it lies. A path without "/" (found through the
// search path, which programDirectory answers from the executable) and a path
// that names no link are given back as they are.
QString realProgramPath(const QString& path);

// The program path from the bytes it was started by (argv[0]), decoded as
// the system decodes file names. *valid is false when the bytes are not valid
// in that encoding (the folder then cannot be found by its decoded name).
QString decodeProgramPath(const QByteArray& argument, bool* valid);
