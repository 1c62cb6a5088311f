#pragma once

#include <QByteArray>

// Whether descriptor `fd` is the system journal's stream: systemd names the
// stream it gives a service as "DEVICE:INODE" (decimal) in $JOURNAL_STREAM,
// pass that value as `journalStream`. Lines written there are kept in the
// system log; lines written to a terminal, file or pipe of one's own are not.
bool isJournalStream(int fd, const QByteArray& journalStream);
