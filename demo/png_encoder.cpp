#include "demo/png_encoder.h"

#include <zlib.h>

namespace quillet {
namespace {

void appendBigEndian(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>((value >> 24) & 0xff));
  out.push_back(static_cast<char>((value >> 16) & 0xff));
  out.push_back(static_cast<char>((value >> 8) & 0xff));
  out.push_back(static_cast<char>(value & 0xff));
}

// One chunk: length, type, data, and the CRC over type and data.
void appendChunk(std::string& out, const char type[4], const std::string& data) {
  appendBigEndian(out, static_cast<std::uint32_t>(data.size()));
  std::string typeAndData(type, 4);
  typeAndData += data;
  out += typeAndData;
  const auto crc = crc32(0L, reinterpret_cast<const Bytef*>(typeAndData.data()),
                         static_cast<uInt>(typeAndData.size()));
  appendBigEndian(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::string encodePng(int width, int height, const std::vector<std::uint8_t>& rgb) {
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return {};
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  if (rgb.size() != rowBytes * static_cast<std::size_t>(height)) return {};

  // Every scan line starts with its filter type; 0 keeps the bytes as they are.
  std::string raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');
    const auto* row = rgb.data() + rowBytes * static_cast<std::size_t>(y);
    raw.append(reinterpret_cast<const char*>(row), rowBytes);
  }

  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    return {};
  }
  packed.resize(packedSize);

  std::string header;
  appendBigEndian(header, static_cast<std::uint32_t>(width));
  appendBigEndian(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no interlace

  std::string png("\x89PNG\r\n\x1a\n", 8);
  appendChunk(png, "IHDR", header);
  appendChunk(png, "IDAT", packed);
  appendChunk(png, "IEND", {});
  return png;
}

}  // namespace quillet
