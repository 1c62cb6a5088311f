#pragma once

// The text sizes a skin can set (DCSize, DateSize, LunarSize, NotifySize),
// in points. Measured with the bundled fonts on the 240 x 320 screen: at 200
// points a line of text (ascent and descent) is 233 pixels high at 72 dpi and
// 310 at 96 dpi, so it still fits the screen; from about 2000 points no glyph
// is drawn at all, and far beyond, rows of hollow boxes. Sizes above the
// largest are drawn at the largest; sizes of 0 or less leave the toolkit's
// default size (12 points), as they always have.
namespace TextSize {
constexpr int Largest = 200;

// The point size a skin's size setting is drawn at; 0 or less stays as it
// is, meaning the toolkit's default.
constexpr int drawn(int setting)
{
    return setting > Largest ? Largest : setting;
}

constexpr bool inRange(int setting)
{
    return setting >= 1 && setting <= Largest;
}
} // namespace TextSize
