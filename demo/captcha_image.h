#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

inline constexpr int kCaptchaWidth = 80;
inline constexpr int kCaptchaHeight = 24;

// An RGB picture, rows top to bottom, 3 bytes a pixel.
struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

// Draws `text` into an 80 x 24 picture: dark glyphs on a light, lightly
// speckled background, each glyph slightly shifted up or down. `seed` decides
// the speckles, shifts and colours, so one text gives different pictures. Text
// that does not fit is cut at the right edge.
RgbPicture drawCaptcha(std::string_view text, std::uint64_t seed);

// drawCaptcha, encoded as PNG.
std::string captchaPng(std::string_view text, std::uint64_t seed);

}  // namespace quillet
