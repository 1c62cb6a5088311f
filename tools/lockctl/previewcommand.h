#pragma once

#include "command.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

// lockctl preview [--app-dir DIR] [--skin NAME] [--at "YYYY-MM-DD HH:MM:SS"]
//                 [--armed] [--sheet] [-o FILE.png]
//
// Composes one frame exactly as the lock window would at that local time
// (default: now), with the hint armed or not, and writes it as PNG; with
// --sheet, a grid of labelled frames at telling moments of that day. Needs a
// QGuiApplication. DIR defaults to lockctl's own folder.
int runPreviewCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// How the preview subcommand is called: its name and its help text.
extern const lockctl::CommandSyntax previewCommandSyntax;
