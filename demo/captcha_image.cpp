#include "demo/captcha_image.h"

#include <algorithm>
#include <random>

#include "demo/bitmap_font.h"
#include "demo/png_encoder.h"

namespace quillet {
namespace {

struct Rgb {
  std::uint8_t r, g, b;
};

void setPixel(RgbPicture& picture, int x, int y, Rgb colour) {
  if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return;
  auto* p = picture.pixels.data() + (static_cast<std::size_t>(y) * picture.width + x) * 3;
  p[0] = colour.r;
  p[1] = colour.g;
  p[2] = colour.b;
}

}  // namespace

RgbPicture drawCaptcha(std::string_view text, std::uint64_t seed) {
  RgbPicture picture;
  picture.width = kCaptchaWidth;
  picture.height = kCaptchaHeight;
  picture.pixels.assign(static_cast<std::size_t>(kCaptchaWidth) * kCaptchaHeight * 3, 0);

  std::mt19937_64 random(seed);
  auto uniform = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };

  // Background: a pale paper tone with faint speckles, light enough that the
  // glyphs keep a strong contrast against it.
  for (int y = 0; y < kCaptchaHeight; ++y) {
    for (int x = 0; x < kCaptchaWidth; ++x) {
      const int shade = uniform(0, 18);
      setPixel(picture, x, y,
               Rgb{static_cast<std::uint8_t>(246 - shade), static_cast<std::uint8_t>(242 - shade),
                   static_cast<std::uint8_t>(228 - shade)});
    }
  }
  // Two thin light lines across the picture.
  for (int line = 0; line < 2; ++line) {
    const int y0 = uniform(2, kCaptchaHeight - 3);
    const int y1 = uniform(2, kCaptchaHeight - 3);
    const Rgb colour{static_cast<std::uint8_t>(uniform(170, 205)),
                     static_cast<std::uint8_t>(uniform(170, 205)),
                     static_cast<std::uint8_t>(uniform(170, 205))};
    for (int x = 0; x < kCaptchaWidth; ++x) {
      setPixel(picture, x, y0 + (y1 - y0) * x / (kCaptchaWidth - 1), colour);
    }
  }

  // Glyphs at twice their size while they fit, else at their own size.
  const int count = static_cast<int>(text.size());
  int scale = 2;
  int gap = 6;
  if (count * (kGlyphWidth * scale + gap) - gap > kCaptchaWidth - 4) {
    scale = 1;
    gap = 1;
  }
  const int advance = kGlyphWidth * scale + gap;
  const int used = std::max(0, count * advance - gap);
  int left = std::max(2, (kCaptchaWidth - used) / 2);
  const int glyphHeight = kGlyphHeight * scale;
  const int spareHeight = kCaptchaHeight - glyphHeight;

  for (char c : text) {
    if (left + kGlyphWidth * scale > kCaptchaWidth) break;
    const Glyph& glyph = glyphFor(c);
    const int top = spareHeight > 2 ? uniform(1, spareHeight - 1) : 0;
    const Rgb ink{static_cast<std::uint8_t>(uniform(10, 70)),
                  static_cast<std::uint8_t>(uniform(10, 70)),
                  static_cast<std::uint8_t>(uniform(60, 120))};
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int column = 0; column < kGlyphWidth; ++column) {
        if (!(glyph[static_cast<std::size_t>(row)] & (1u << (kGlyphWidth - 1 - column)))) continue;
        for (int dy = 0; dy < scale; ++dy) {
          for (int dx = 0; dx < scale; ++dx) {
            setPixel(picture, left + column * scale + dx, top + row * scale + dy, ink);
          }
        }
      }
    }
    left += advance;
  }
  return picture;
}

std::string captchaPng(std::string_view text, std::uint64_t seed) {
  const RgbPicture picture = drawCaptcha(text, seed);
  return encodePng(picture.width, picture.height, picture.pixels);
}

}  // namespace quillet
