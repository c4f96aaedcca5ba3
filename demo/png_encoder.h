#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// Encodes an 8-bit RGB picture (rows top to bottom, 3 bytes a pixel) as a PNG
// file. Returns empty bytes when the sizes do not match the pixel buffer.
std::string encodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace quillet
