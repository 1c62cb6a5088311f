#pragma once

#include "command.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

// lockctl lunar FROM [TO]
//
// Prints one line per date from FROM through TO inclusive (TO defaults to
// FROM): "YYYY-MM-DD<TAB>TEXT", TEXT being the lunar date text of GetDayOf
// (src/lunar/lunarcalendar.h) decoded from its UTF-8 bytes; it is empty outside
// 1900-01-31 .. 2100-12-31. Dates are YYYY-MM-DD, years 0001..9999.
//
// args are the arguments after "lunar". Returns lockctl::ExitOk, or
// lockctl::ExitUsage after a message on err (and nothing on out) for a
// malformed date, a date that is not a calendar date, TO before FROM, or a
// wrong number of arguments. "-h" / "--help" prints the help text on out.
int runLunarCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// How the lunar subcommand is called: its name and its help text.
extern const lockctl::CommandSyntax lunarCommandSyntax;
