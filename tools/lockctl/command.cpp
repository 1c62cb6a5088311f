#include "command.h"

#include <QTextStream>

int lockctl::usageError(QTextStream& err, const char* command, const QString& message, const char* usage)
{
    err << "lockctl " << command << ": " << message << '\n' << "usage: " << usage << '\n';
    err.flush();
    return ExitUsage;
}
