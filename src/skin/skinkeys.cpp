#include "skin/skinkeys.h"

namespace {
SkinKey text(const char* group, const char* key, QString SkinSettings::*field, SkinKey::Role role,
             const char* subject, const char* whenMissing)
{
    return { group, key, SkinKey::Text, field, nullptr, 0, role, subject, QLatin1String(whenMissing) };
}
SkinKey colour(const char* group, const char* key, QString SkinSettings::*field, SkinKey::Role role,
               const char* subject, const QString& whenMissing)
{
    return { group, key, SkinKey::Colour, field, nullptr, 0, role, subject, whenMissing };
}
SkinKey integer(const char* group, const char* key, int SkinSettings::*field, SkinKey::Role role,
                const char* subject, const QString& whenMissing)
{
    return { group, key, SkinKey::Integer, nullptr, field, -1, role, subject, whenMissing };
}

// A hand's keys, which say what they leave when missing alike for each hand
// ("the hour hand").
SkinKey handColour(const char* key, QString SkinSettings::*field, const char* hand)
{
    return colour("Analog", key, field, SkinKey::HandColour, hand, QLatin1String(hand) + QLatin1String(" is drawn black"));
}
SkinKey handLength(const char* key, int SkinSettings::*field, const char* hand)
{
    return integer("Analog", key, field, SkinKey::Length, hand,
                   QLatin1String(hand) + QLatin1String(" becomes a 1-pixel stub"));
}
SkinKey handWidth(const char* key, int SkinSettings::*field, const char* hand)
{
    return integer("Analog", key, field, SkinKey::Width, hand,
                   QLatin1String(hand) + QLatin1String(" is drawn 1 pixel wide"));
}

// A text line's four keys, which differ between lines only in their names,
// fields and what the line shows.
struct TextLineKeys
{
    const char* x;
    const char* y;
    const char* size;
    const char* colour;
};
QList<SkinKey> textLine(const char* group, TextLineKeys keys, int SkinSettings::*x, int SkinSettings::*y,
                        int SkinSettings::*size, QString SkinSettings::*colourField, const char* subject)
{
    const QString said = QLatin1String(subject);
    return {
        integer(group, keys.x, x, SkinKey::TextX, subject, said + QLatin1String(" starts at x = -1")),
        integer(group, keys.y, y, SkinKey::TextY, subject,
                said + QLatin1String("'s baseline is at y = -1, above the screen")),
        integer(group, keys.size, size, SkinKey::Size, subject,
                said + QLatin1String(" is drawn in the toolkit's default size")),
        colour(group, keys.colour, colourField, SkinKey::TextColour, subject, said + QLatin1String(" is drawn black")),
    };
}
} // namespace

const QList<SkinKey>& skinFileKeys()
{
    using K = SkinKey;
    using S = SkinSettings;
    static const QList<SkinKey> keys = [] {
        const char* const hour = "the hour hand";
        const char* const minute = "the minute hand";
        const char* const second = "the second hand";
        QList<SkinKey> all {
            text("General", "BACKGROUND", &S::background, K::Image, "the background", "no frame is drawn at all"),
            text("Analog", "ClockImage", &S::clockImage, K::Image, "the clock face",
                 "there is no clock face, and the hands turn about the placement point"),
            text("Analog", "Clockcenter", &S::clockCenter, K::Image, "the centre cap", "there is no centre cap"),
            handColour("SecColor", &S::secColor, second),
            handColour("MinColor", &S::minColor, minute),
            handColour("HourColor", &S::hourColor, hour),
            handLength("HourHeight", &S::hourHeight, hour),
            handLength("MinHeight", &S::minHeight, minute),
            handLength("SecHeight", &S::secHeight, second),
            handWidth("HourWidth", &S::hourWidth, hour),
            handWidth("MinWidth", &S::minWidth, minute),
            handWidth("SecWidth", &S::secWidth, second),
            text("Analog", "ClockLeft", &S::clockLeft, K::PlacementX, "the clock face",
                 "the clock face is placed at x = 0"),
            text("Analog", "ClockTop", &S::clockTop, K::PlacementY, "the clock face",
                 "the clock face is placed at y = 0"),
        };
        all += textLine("Digital", { "DCX", "DCY", "DCSize", "DCColor" }, &S::dcX, &S::dcY, &S::dcSize, &S::dcColor,
                        "the digital time");
        all += textLine("Date", { "DateX", "DateY", "DateSize", "DateColor" }, &S::dateX, &S::dateY, &S::dateSize,
                        &S::dateColor, "the date");
        all += textLine("Lunar", { "LunarX", "LunarY", "LunarSize", "LunarColor" }, &S::lunarX, &S::lunarY,
                        &S::lunarSize, &S::lunarColor, "the lunar date");
        all += textLine("Notify", { "NotifyX", "NotifyY", "NotifySize", "NotifyColor" }, &S::notifyX, &S::notifyY,
                        &S::notifySize, &S::notifyColor, "the hint");
        all += text("Notify", "NotifyWord0", &S::notifyWord0, K::Hint, "the hint while the unlock is not armed",
                    "no hint is shown while the unlock is not armed");
        all += text("Notify", "NotifyWord1", &S::notifyWord1, K::Hint, "the hint while the unlock is armed",
                    "no hint is shown while the unlock is armed");
        return all;
    }();
    return keys;
}
