// The captcha picture: a valid PNG of 80 x 24 whose glyphs stand out whole
// against the background, so that a person can read them.
#include "demo/captcha_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "demo/bitmap_font.h"
#include "demo/png_encoder.h"

namespace quillet {
namespace {

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

// Reads a PNG written by encodePng back into an RGB picture, checking every
// chunk's CRC and every row's filter byte on the way. Fails the test on any fault.
RgbPicture decodePng(const std::string& png) {
  RgbPicture picture;
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  std::string packed;
  std::vector<std::string> types;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = bigEndian(png, at);
    const std::string type = png.substr(at + 4, 4);
    const std::string data = png.substr(at + 8, length);
    const auto crc = crc32(0L, reinterpret_cast<const Bytef*>(png.data() + at + 4), length + 4);
    EXPECT_EQ(bigEndian(png, at + 8 + length), crc) << type;
    types.push_back(type);
    if (type == "IHDR") {
      picture.width = static_cast<int>(bigEndian(data, 0));
      picture.height = static_cast<int>(bigEndian(data, 4));
      EXPECT_EQ(data.substr(8), std::string("\x08\x02\x00\x00\x00", 5));
    } else if (type == "IDAT") {
      packed += data;
    }
    at += 12 + length;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  const std::size_t row = static_cast<std::size_t>(picture.width) * 3 + 1;
  std::string raw(row * static_cast<std::size_t>(picture.height), '\0');
  uLongf rawSize = static_cast<uLongf>(raw.size());
  EXPECT_EQ(
      uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                 reinterpret_cast<const Bytef*>(packed.data()), static_cast<uLong>(packed.size())),
      Z_OK);
  EXPECT_EQ(rawSize, raw.size());
  for (int y = 0; y < picture.height; ++y) {
    EXPECT_EQ(raw[static_cast<std::size_t>(y) * row], '\0') << "row " << y;
    picture.pixels.insert(picture.pixels.end(), raw.begin() + static_cast<long>(y * row + 1),
                          raw.begin() + static_cast<long>((y + 1) * row));
  }
  return picture;
}

bool dark(const RgbPicture& picture, int x, int y) {
  const auto* p = picture.pixels.data() + (static_cast<std::size_t>(y) * picture.width + x) * 3;
  return (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000 < 128;
}

// Where `c` stands whole at `scale` in the picture: every pixel of its box dark
// exactly where the glyph has ink. Searches from column `fromX`; -1 when absent.
int findGlyph(const RgbPicture& picture, char c, int scale, int fromX) {
  const Glyph& glyph = glyphFor(c);
  for (int x = fromX; x + kGlyphWidth * scale <= picture.width; ++x) {
    for (int y = 0; y + kGlyphHeight * scale <= picture.height; ++y) {
      bool same = true;
      for (int gy = 0; gy < kGlyphHeight * scale && same; ++gy) {
        for (int gx = 0; gx < kGlyphWidth * scale && same; ++gx) {
          const bool ink =
              glyph[static_cast<std::size_t>(gy / scale)] & (1u << (kGlyphWidth - 1 - gx / scale));
          same = ink == dark(picture, x + gx, y + gy);
        }
      }
      if (same) return x;
    }
  }
  return -1;
}

TEST(CaptchaImage, FourDigitsStandWholeAndInOrderInAValidPng) {
  for (std::uint64_t seed : {1u, 2u, 99u}) {
    const std::string text = "4821";
    const RgbPicture picture = decodePng(captchaPng(text, seed));
    ASSERT_EQ(picture.width, 80);
    ASSERT_EQ(picture.height, 24);
    int x = 0;
    for (char c : text) {
      const int found = findGlyph(picture, c, 2, x);
      ASSERT_GE(found, 0) << "glyph " << c << " with seed " << seed;
      x = found + kGlyphWidth * 2;
    }
    // Nothing but the glyphs is dark: the speckles and lines stay light.
    int darkPixels = 0;
    for (int py = 0; py < picture.height; ++py) {
      for (int px = 0; px < picture.width; ++px) darkPixels += dark(picture, px, py);
    }
    int inked = 0;
    for (char c : text) {
      for (auto row : glyphFor(c)) inked += __builtin_popcount(row) * 4;
    }
    EXPECT_EQ(darkPixels, inked);
  }
}

TEST(CaptchaImage, LongAndOddTextsFitOrAreCutButNeverBreakThePicture) {
  // Twelve characters no longer fit at double size: drawn at their own size.
  const RgbPicture twelve = decodePng(captchaPng("ABCDEFGH1234", 3));
  int x = 0;
  for (char c : std::string("ABCDEFGH1234")) {
    const int found = findGlyph(twelve, c, 1, x);
    ASSERT_GE(found, 0) << c;
    x = found + kGlyphWidth;
  }
  for (const std::string& text :
       {std::string(), std::string(200, '8'), std::string("验证"), std::string("a\0b", 3)}) {
    const RgbPicture picture = decodePng(captchaPng(text, 4));
    EXPECT_EQ(picture.width, 80);
    EXPECT_EQ(picture.pixels.size(), 80u * 24u * 3u);
  }
  // Lower case is drawn with the capitals' shapes.
  EXPECT_GE(findGlyph(drawCaptcha("k", 1), 'K', 2, 0), 0);
}

TEST(PngEncoder, RefusesSizesThatDoNotMatchThePixels) {
  EXPECT_TRUE(encodePng(2, 2, std::vector<std::uint8_t>(11)).empty());
  EXPECT_TRUE(encodePng(0, 2, {}).empty());
  EXPECT_TRUE(encodePng(-1, -1, {}).empty());
  EXPECT_TRUE(encodePng(5000, 1, std::vector<std::uint8_t>(15000)).empty());
  const std::vector<std::uint8_t> red = {255, 0, 0};
  const RgbPicture one = decodePng(encodePng(1, 1, red));
  EXPECT_EQ(one.pixels, red);
}

}  // namespace
}  // namespace quillet
