#pragma once

#include "command.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

// lockctl bridge [--x11] [--screensaver] [--logind] [--verbose]
//
// Turns the desktop's screen blanking, session locks and suspend into
// "LCDOff" and "LCDOn" on "EZX/System", until SIGTERM or SIGINT (exit code
// lockctl::ExitOk). A source that cannot be reached is named once on `err`
// and skipped. Needs a QCoreApplication; runs its own event loop.
int runBridgeCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// How the bridge subcommand is called: its name and its help text.
extern const lockctl::CommandSyntax bridgeCommandSyntax;
