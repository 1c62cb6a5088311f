#include "clockplacement.h"

int placeClockAxis(const QString& text, const char* startKeyword, const char* endKeyword, int screen, int face)
{
    if (text == QLatin1String(startKeyword))
        return 0;
    if (text == QLatin1String(endKeyword))
        return screen - face;
    if (text == QLatin1String("center"))
        return (screen - face) / 2;
    // QString::toInt gives 0 for text that is not a whole number in range.
    return text.toInt(nullptr, 10);
}
