#pragma once

#include <QString>
#include <string>

namespace quillet {

/// Encoder choices of convertImage.
enum ImageFormat : int {
  kImageBmp = 1,
  kImageJpeg = 2,
  kImageGif = 3,
  kImageTiff = 4,
  kImagePng = 5,
};

/// Decodes `image` (any format libvips reads) and re-encodes it as `format`
/// (an ImageFormat; any other value selects no encoder and gives empty
/// bytes). The encoded bytes go to `*result` when given. When `savePath`,
/// trimmed of surrounding blanks, is not empty and the encoding produced
/// bytes, they replace that file. Bytes that are not an image give empty
/// output. Always returns true: callers see failure as empty bytes.
bool convertImage(const std::string& image, int format, const QString& savePath = {},
                  std::string* result = nullptr);

}  // namespace quillet
