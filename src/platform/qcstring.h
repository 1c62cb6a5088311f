#pragma once

#include <QByteArray>

// Channel message names are plain byte strings. Keeping the old name lets the
// window's slot and the channel's signal share one signature text.
typedef QByteArray QCString;
