#include "lunar/lunarline.h"

#include <QTextCodec>

QTextCodec* gbk_codec = QTextCodec::codecForName("UTF-8");

QString ctr(const char* bytes)
{
    return gbk_codec->toUnicode(bytes);
}
