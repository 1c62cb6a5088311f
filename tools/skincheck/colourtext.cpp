#include "skincheck/colourtext.h"

#include "platform/zconfig.h"
#include "skin/settingcolour.h"

#include <QColor>

#include <algorithm>

namespace ColourText {

namespace {
bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
} // namespace

bool isDecimalColour(const QString& text)
{
    const std::optional<int> value = ZConfig::toNumber(text);
    return value && *value >= 0 && *value <= Largest;
}

int drawnColour(const QString& text)
{
    return int(colourFromSetting(text).rgb() & 0xFFFFFF);
}

std::optional<int> intendedColour(const QString& text)
{
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QStringView digits = QStringView(text).sliced(2);
        if (digits.isEmpty() || digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), isHexDigit))
            return std::nullopt;
        return int(digits.toUInt(nullptr, 16));
    }
    // QColor reads #RGB, #RRGGBB, longer hex forms with alpha, and the SVG
    // colour names; a colour with transparency is nothing the lock screen
    // can draw, so it gets no suggestion.
    if (!QColor::isValidColor(text))
        return std::nullopt;
    const QColor colour(text);
    if (colour.alpha() != 255)
        return std::nullopt;
    return int(colour.rgb() & 0xFFFFFF);
}

} // namespace ColourText
