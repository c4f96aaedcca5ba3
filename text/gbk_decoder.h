#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace quillet {

namespace detail {
class IcuConverter;
}

/// Decodes many short GBK byte runs (the lines of an imported file) to UTF-16 with one converter,
/// straight into the caller's buffer. Unlike the text conversions, a zero byte is decoded like any
/// other character, and an undecodable byte becomes U+FFFD without ending the run.
class GbkDecoder {
 public:
  GbkDecoder();
  ~GbkDecoder();
  GbkDecoder(const GbkDecoder&) = delete;
  GbkDecoder& operator=(const GbkDecoder&) = delete;

  /// Decodes `bytes` into `out` and returns the number of UTF-16 units written. Every GBK
  /// sequence, and every undecodable byte, gives at most one unit, so `out` must have room for
  /// `bytes.size()` units.
  std::size_t decode(std::string_view bytes, char16_t* out);

 private:
  std::unique_ptr<detail::IcuConverter> converter_;
};

}  // namespace quillet
