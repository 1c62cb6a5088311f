#include "app/appdir.h"

#include <QFile>
#include <QFileInfo>

QString programDirectory(const QString& path, const QString& executableDir)
{
    const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    if (last < 0) {
        if (executableDir.isEmpty() || executableDir.endsWith(QLatin1Char('/')))
            return executableDir;
        return executableDir + QLatin1Char('/');
    }
    // Taken from the start of the path: "bin/sub/lockapp" lives in "bin/sub/",
    // not in a folder "/sub/" at the root.
    const QString dir = path.left(last);
    if (dir.isEmpty() || dir == QLatin1String("."))
        return QString();
    return dir + QLatin1Char('/');
}

QString decodeProgramPath(const QByteArray& argument, bool* valid)
{
    const QString path = QFile::decodeName(argument);
    *valid = QFile::encodeName(path) == argument;
    return path;
}

QString realProgramPath(const QString& path)
{
    if (!path.contains(QLatin1Char('/')))
        return path;
    const QFileInfo program(path);
    if (!program.isSymLink())
        return path;
    const QString real = program.canonicalFilePath();
    return real.isEmpty() ? path : real;
}
