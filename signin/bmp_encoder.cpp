#include "signin/bmp_encoder.h"

#include <limits>

namespace quillet {
namespace {

void putLe16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xff));
  out.push_back(static_cast<char>(v >> 8));
}

void putLe32(std::string& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xff));
}

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

}  // namespace

std::string encodeBmp(const std::uint8_t* pixels, std::size_t size, int width, int height,
                      int bands) {
  if (pixels == nullptr || width <= 0 || height <= 0 || (bands != 3 && bands != 4)) return {};
  const std::uint64_t rowIn = std::uint64_t(width) * bands;
  if (std::uint64_t(size) < rowIn * std::uint64_t(height)) return {};
  const std::uint64_t rowOut = (rowIn + 3) & ~std::uint64_t(3);
  const std::uint64_t imageSize = rowOut * std::uint64_t(height);
  const std::uint64_t fileSize = kFileHeaderSize + kInfoHeaderSize + imageSize;
  if (fileSize > std::numeric_limits<std::uint32_t>::max()) return {};

  std::string out;
  out.reserve(static_cast<std::size_t>(fileSize));
  out += "BM";
  putLe32(out, static_cast<std::uint32_t>(fileSize));
  putLe32(out, 0);  // two reserved words
  putLe32(out, kFileHeaderSize + kInfoHeaderSize);
  putLe32(out, kInfoHeaderSize);
  putLe32(out, static_cast<std::uint32_t>(width));
  putLe32(out, static_cast<std::uint32_t>(height));  // positive: bottom-up rows
  putLe16(out, 1);                                   // planes
  putLe16(out, static_cast<std::uint16_t>(bands * 8));
  putLe32(out, 0);  // BI_RGB, uncompressed
  putLe32(out, static_cast<std::uint32_t>(imageSize));
  putLe32(out, 2835);  // 72 dpi, in pixels per metre
  putLe32(out, 2835);
  putLe32(out, 0);  // no palette
  putLe32(out, 0);

  const std::size_t padding = static_cast<std::size_t>(rowOut - rowIn);
  for (int y = height - 1; y >= 0; --y) {
    const std::uint8_t* row = pixels + std::size_t(y) * std::size_t(rowIn);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = row + std::size_t(x) * bands;
      out.push_back(static_cast<char>(p[2]));  // bitmaps store blue, green, red
      out.push_back(static_cast<char>(p[1]));
      out.push_back(static_cast<char>(p[0]));
      if (bands == 4) out.push_back(static_cast<char>(p[3]));
    }
    out.append(padding, '\0');
  }
  return out;
}

}  // namespace quillet
