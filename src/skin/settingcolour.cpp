#include "skin/settingcolour.h"

QColor colourFromSetting(const QString& setting)
{
    return QColor(QRgb(setting.toLong(nullptr, 10)));
}
