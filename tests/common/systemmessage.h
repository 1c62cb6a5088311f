#pragma once

#include "platform/qcstring.h"

#include <QByteArray>

// Sends one message on "EZX/System" to the lock window of this process and
// returns once every receiver in this process has had it (the window's
// handler has run) and what it posted has run too. False when the bus is unreachable or the message did not come
// back exactly once within 10 s.
bool sendToChannel(const QCString& message, const QByteArray& data = QByteArray());
