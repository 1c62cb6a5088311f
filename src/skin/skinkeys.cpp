#include "skinkeys.h"

namespace {
SkinKey text(const char* group, const char* key, QString SkinSettings::*field)
{
    return { SkinKey::SkinFile, group, key, SkinKey::Text, field, nullptr };
}
SkinKey colour(const char* group, const char* key, QString SkinSettings::*field)
{
    return { SkinKey::SkinFile, group, key, SkinKey::Colour, field, nullptr };
}
SkinKey integer(const char* group, const char* key, int SkinSettings::*field)
{
    return { SkinKey::SkinFile, group, key, SkinKey::Integer, nullptr, field };
}
} // namespace

const QList<SkinKey>& skinFileKeys()
{
    static const QList<SkinKey> keys = {
        text("General", "BACKGROUND", &SkinSettings::background),
        text("Analog", "ClockImage", &SkinSettings::clockImage),
        text("Analog", "Clockcenter", &SkinSettings::clockCenter),
        colour("Analog", "SecColor", &SkinSettings::secColor),
        colour("Analog", "MinColor", &SkinSettings::minColor),
        colour("Analog", "HourColor", &SkinSettings::hourColor),
        integer("Analog", "HourHeight", &SkinSettings::hourHeight),
        integer("Analog", "MinHeight", &SkinSettings::minHeight),
        integer("Analog", "SecHeight", &SkinSettings::secHeight),
        integer("Analog", "HourWidth", &SkinSettings::hourWidth),
        integer("Analog", "MinWidth", &SkinSettings::minWidth),
        integer("Analog", "SecWidth", &SkinSettings::secWidth),
        text("Analog", "ClockLeft", &SkinSettings::clockLeft),
        text("Analog", "ClockTop", &SkinSettings::clockTop),
        integer("Digital", "DCX", &SkinSettings::dcX),
        integer("Digital", "DCY", &SkinSettings::dcY),
        integer("Digital", "DCSize", &SkinSettings::dcSize),
        colour("Digital", "DCColor", &SkinSettings::dcColor),
        integer("Date", "DateX", &SkinSettings::dateX),
        integer("Date", "DateY", &SkinSettings::dateY),
        integer("Date", "DateSize", &SkinSettings::dateSize),
        colour("Date", "DateColor", &SkinSettings::dateColor),
        integer("Lunar", "LunarX", &SkinSettings::lunarX),
        integer("Lunar", "LunarY", &SkinSettings::lunarY),
        integer("Lunar", "LunarSize", &SkinSettings::lunarSize),
        colour("Lunar", "LunarColor", &SkinSettings::lunarColor),
        integer("Notify", "NotifyX", &SkinSettings::notifyX),
        integer("Notify", "NotifyY", &SkinSettings::notifyY),
        integer("Notify", "NotifySize", &SkinSettings::notifySize),
        colour("Notify", "NotifyColor", &SkinSettings::notifyColor),
        text("Notify", "NotifyWord0", &SkinSettings::notifyWord0),
        text("Notify", "NotifyWord1", &SkinSettings::notifyWord1),
    };
    return keys;
}
