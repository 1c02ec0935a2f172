#pragma once

// The main window's client area as designed, in twips: its first and smallest size, and the
// measure to which its layout adds a larger window's extra width and height.
namespace ClientArea {
inline constexpr int kWidth = 13095;
inline constexpr int kHeight = 8310;
} // namespace ClientArea
