#pragma once

#include <QByteArray>
#include <QString>

// Whether a D-Bus bus at `address` answers at all, found out within a bound.
// A bus that is stopped, or anything else that accepts connections and never
// answers, would keep libdbus's own connect waiting for ever (and the toolkit's
// bus thread with it), so a connection is made only after the bus has answered
// the first step of the handshake here. Tries each entry of the address in
// turn (unix:path=, unix:abstract=, tcp:host=,port=); other transports
// (autolaunch: among them, which would start a bus of its own) are not tried.
// On failure *why says what went wrong.
bool busAnswers(const QByteArray& address, int timeoutMs, QString* why = nullptr);
