#include "skin/skinkeys.h"

namespace {
SkinKey text(const char* group, const char* key, QString SkinSettings::*field, SkinKey::Role role,
             const char* subject, const char* whenMissing)
{
    return { group, key, SkinKey::Text, field, nullptr, 0, role, subject, whenMissing };
}
SkinKey colour(const char* group, const char* key, QString SkinSettings::*field, SkinKey::Role role,
               const char* subject, const char* whenMissing)
{
    return { group, key, SkinKey::Colour, field, nullptr, 0, role, subject, whenMissing };
}
SkinKey integer(const char* group, const char* key, int SkinSettings::*field, SkinKey::Role role,
                const char* subject, const char* whenMissing)
{
    return { group, key, SkinKey::Integer, nullptr, field, -1, role, subject, whenMissing };
}
} // namespace

const QList<SkinKey>& skinFileKeys()
{
    using K = SkinKey;
    static const QList<SkinKey> keys = {
        text("General", "BACKGROUND", &SkinSettings::background, K::Image, "the background", "no frame is drawn at all"),
        text("Analog", "ClockImage", &SkinSettings::clockImage, K::Image, "the clock face",
             "there is no clock face, and the hands turn about the placement point"),
        text("Analog", "Clockcenter", &SkinSettings::clockCenter, K::Image, "the centre cap", "there is no centre cap"),
        colour("Analog", "SecColor", &SkinSettings::secColor, K::HandColour, "the second hand",
               "the second hand is drawn black"),
        colour("Analog", "MinColor", &SkinSettings::minColor, K::HandColour, "the minute hand",
               "the minute hand is drawn black"),
        colour("Analog", "HourColor", &SkinSettings::hourColor, K::HandColour, "the hour hand",
               "the hour hand is drawn black"),
        integer("Analog", "HourHeight", &SkinSettings::hourHeight, K::Length, "the hour hand",
                "the hour hand becomes a 1-pixel stub"),
        integer("Analog", "MinHeight", &SkinSettings::minHeight, K::Length, "the minute hand",
                "the minute hand becomes a 1-pixel stub"),
        integer("Analog", "SecHeight", &SkinSettings::secHeight, K::Length, "the second hand",
                "the second hand becomes a 1-pixel stub"),
        integer("Analog", "HourWidth", &SkinSettings::hourWidth, K::Width, "the hour hand",
                "the hour hand is drawn 1 pixel wide"),
        integer("Analog", "MinWidth", &SkinSettings::minWidth, K::Width, "the minute hand",
                "the minute hand is drawn 1 pixel wide"),
        integer("Analog", "SecWidth", &SkinSettings::secWidth, K::Width, "the second hand",
                "the second hand is drawn 1 pixel wide"),
        text("Analog", "ClockLeft", &SkinSettings::clockLeft, K::PlacementX, "the clock face",
             "the clock face is placed at x = 0"),
        text("Analog", "ClockTop", &SkinSettings::clockTop, K::PlacementY, "the clock face",
             "the clock face is placed at y = 0"),
        integer("Digital", "DCX", &SkinSettings::dcX, K::TextX, "the digital time", "the digital time starts at x = -1"),
        integer("Digital", "DCY", &SkinSettings::dcY, K::TextY, "the digital time",
                "the digital time's baseline is at y = -1, above the screen"),
        integer("Digital", "DCSize", &SkinSettings::dcSize, K::Size, "the digital time",
                "the digital time is drawn in the toolkit's default size"),
        colour("Digital", "DCColor", &SkinSettings::dcColor, K::TextColour, "the digital time",
               "the digital time is drawn black"),
        integer("Date", "DateX", &SkinSettings::dateX, K::TextX, "the date", "the date starts at x = -1"),
        integer("Date", "DateY", &SkinSettings::dateY, K::TextY, "the date",
                "the date's baseline is at y = -1, above the screen"),
        integer("Date", "DateSize", &SkinSettings::dateSize, K::Size, "the date",
                "the date is drawn in the toolkit's default size"),
        colour("Date", "DateColor", &SkinSettings::dateColor, K::TextColour, "the date", "the date is drawn black"),
        integer("Lunar", "LunarX", &SkinSettings::lunarX, K::TextX, "the lunar date", "the lunar date starts at x = -1"),
        integer("Lunar", "LunarY", &SkinSettings::lunarY, K::TextY, "the lunar date",
                "the lunar date's baseline is at y = -1, above the screen"),
        integer("Lunar", "LunarSize", &SkinSettings::lunarSize, K::Size, "the lunar date",
                "the lunar date is drawn in the toolkit's default size"),
        colour("Lunar", "LunarColor", &SkinSettings::lunarColor, K::TextColour, "the lunar date",
               "the lunar date is drawn black"),
        integer("Notify", "NotifyX", &SkinSettings::notifyX, K::TextX, "the hint", "the hint starts at x = -1"),
        integer("Notify", "NotifyY", &SkinSettings::notifyY, K::TextY, "the hint",
                "the hint's baseline is at y = -1, above the screen"),
        integer("Notify", "NotifySize", &SkinSettings::notifySize, K::Size, "the hint",
                "the hint is drawn in the toolkit's default size"),
        colour("Notify", "NotifyColor", &SkinSettings::notifyColor, K::TextColour, "the hint", "the hint is drawn black"),
        text("Notify", "NotifyWord0", &SkinSettings::notifyWord0, K::Hint, "the hint while the unlock is not armed",
             "no hint is shown while the unlock is not armed"),
        text("Notify", "NotifyWord1", &SkinSettings::notifyWord1, K::Hint, "the hint while the unlock is armed",
             "no hint is shown while the unlock is armed"),
    };
    return keys;
}
