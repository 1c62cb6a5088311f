#pragma once

#include <QString>

class QTextCodec;

// The UTF-8 codec, set during static initialisation and never released.
extern QTextCodec* gbk_codec;

// Decodes a NUL-terminated UTF-8 byte string through gbk_codec.
QString ctr(const char* bytes);
