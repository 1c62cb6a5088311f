#pragma once

#include <QRgb>
#include <QString>

#include <optional>

// Colour settings are decimal numbers, 65536 x red + 256 x green + blue.
namespace ColourText {

constexpr int Largest = 0xFFFFFF;

// True when the text is such a number from 0 to Largest, by the settings
// reader's integer rule.
bool isDecimalColour(const QString& text);

// The colour the lock screen draws for the text, as 0xRRGGBB.
int drawnColour(const QString& text);

// The opaque colour an author most likely meant by a text in another
// notation: 0xRRGGBB, #RRGGBB or #RGB, or a colour name the toolkit knows
// ("red", "steelblue"). Nothing for other texts.
std::optional<int> intendedColour(const QString& text);

} // namespace ColourText
