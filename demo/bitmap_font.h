#pragma once

#include <array>
#include <cstdint>

namespace quillet {

// A 5 x 7 pixel font for the captcha picture: digits and Latin capitals.
// Each glyph is seven rows; bit 4 of a row is the leftmost pixel.
using Glyph = std::array<std::uint8_t, 7>;

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;

// The glyph of `c`; lower-case letters share the capitals' shapes, and any
// character the font lacks is drawn as a hollow box.
const Glyph& glyphFor(char c);

}  // namespace quillet
