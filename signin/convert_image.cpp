#include "signin/convert_image.h"

#include <QSaveFile>
#include <cstdint>

#include "signin/bmp_encoder.h"
#include "signin/vips_handles.h"

namespace quillet {

namespace {

VipsImagePtr decode(const std::string& image) {
  if (image.empty()) return nullptr;
  VipsImage* decoded = vips_image_new_from_buffer(image.data(), image.size(), "", nullptr);
  return VipsImagePtr(decoded);
}

// libvips has no bitmap writer of its own (its ".bmp" goes through
// ImageMagick, which a site-wide policy may forbid), so bitmaps are written
// here from the decoded pixels, as 8-bit sRGB.
std::string bitmapOf(VipsImage* image) {
  VipsImage* rgb = nullptr;
  if (vips_colourspace(image, &rgb, VIPS_INTERPRETATION_sRGB, nullptr) != 0) return {};
  VipsImagePtr rgbOwner(rgb);
  VipsImage* bytes = nullptr;
  if (vips_cast_uchar(rgb, &bytes, nullptr) != 0) return {};
  VipsImagePtr bytesOwner(bytes);
  const int bands = vips_image_get_bands(bytes);
  if (bands != 3 && bands != 4) return {};
  std::size_t size = 0;
  VipsBuffer pixels(vips_image_write_to_memory(bytes, &size));
  if (!pixels) return {};
  return encodeBmp(static_cast<const std::uint8_t*>(pixels.get()), size,
                   vips_image_get_width(bytes), vips_image_get_height(bytes), bands);
}

std::string encodeWithSuffix(VipsImage* image, const char* suffix) {
  void* buffer = nullptr;
  std::size_t size = 0;
  if (vips_image_write_to_buffer(image, suffix, &buffer, &size, nullptr) != 0) return {};
  VipsBuffer owner(buffer);
  return std::string(static_cast<const char*>(buffer), size);
}

std::string encode(const std::string& image, int format) {
  const char* suffix = nullptr;
  switch (format) {
    case kImageBmp:
      break;
    case kImageJpeg:
      suffix = ".jpg";
      break;
    case kImageGif:
      suffix = ".gif";
      break;
    case kImageTiff:
      suffix = ".tif";
      break;
    case kImagePng:
      suffix = ".png";
      break;
    default:
      return {};  // no encoder chosen
  }
  if (!ensureVipsStarted()) return {};
  VipsImagePtr decoded = decode(image);
  std::string out;
  if (decoded) out = suffix ? encodeWithSuffix(decoded.get(), suffix) : bitmapOf(decoded.get());
  // Failures are reported as empty bytes; do not let the messages pile up.
  vips_error_clear();
  return out;
}

}  // namespace

bool convertImage(const std::string& image, int format, const QString& savePath,
                  std::string* result) {
  std::string encoded = encode(image, format);
  const QString path = savePath.trimmed();
  // A failed conversion leaves an existing file alone rather than replacing
  // it with nothing.
  if (!path.isEmpty() && !encoded.empty()) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
      file.write(encoded.data(), static_cast<qint64>(encoded.size()));
      file.commit();
    }
  }
  if (result) *result = std::move(encoded);
  return true;
}

}  // namespace quillet
