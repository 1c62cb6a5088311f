#pragma once

// The phone's display, portrait. The settings place the clock on it and the
// checker measures images against it, neither of which needs a widget.
namespace PhoneScreen {
constexpr int Width = 240;
constexpr int Height = 320;
} // namespace PhoneScreen
