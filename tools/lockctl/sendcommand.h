#pragma once

#include "command.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

// lockctl send CHANNEL MESSAGE [DATA]
//
// Sends one message on a system channel through the same channel transport
// lockapp listens on. Returns lockctl::ExitOk once the message is on the bus,
// lockctl::ExitFailure when no session bus can be reached, lockctl::ExitUsage
// for a wrong command line.
int runSendCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// How the send subcommand is called: its name and its help text.
extern const lockctl::CommandSyntax sendCommandSyntax;
