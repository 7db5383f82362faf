#pragma once

#include <cstdint>

// A colour as the window system gives it: 0x00BBGGRR, the value of a Win32
// COLORREF.
using Color = std::uint32_t;

constexpr Color Rgb(int r, int g, int b) {
    return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// The main window's colours, on every toolkit.
namespace colors {

// The window's and the labels' background.
inline constexpr Color kBlack = Rgb(0, 0, 0);
// The labels' text, and the answer line while a question is asked.
inline constexpr Color kWhite = Rgb(255, 255, 255);
// The answer line after a right reply, and after a wrong one.
inline constexpr Color kLightBlue = Rgb(180, 180, 255);
inline constexpr Color kLightRed = Rgb(255, 100, 100);

} // namespace colors
