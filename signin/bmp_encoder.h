#pragma once

#include <cstdint>
#include <string>

namespace quillet {

/// Writes a Windows bitmap file (BITMAPINFOHEADER, uncompressed, bottom-up
/// rows padded to four bytes) from packed 8-bit RGB or RGBA pixels, top row
/// first. Three bands give a 24-bit file, four a 32-bit one. Anything else,
/// a zero size or too few pixels give empty bytes.
std::string encodeBmp(const std::uint8_t* pixels, std::size_t size, int width, int height,
                      int bands);

}  // namespace quillet
