#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet::detail {

/// Big5 (code page 950) to GBK (code page 936) as one table lookup per character, built once per
/// process from ICU's two converters, so that it gives exactly what decoding to UTF-16 and
/// encoding again would give, undecodable bytes included.
///
/// An entry packs up to three output bytes: the count in bits 24 and up, then the bytes, first
/// one highest.
struct Big5ToGbkTable {
  /// By the byte when it stands alone: a byte below 0x81, 0xFF, or a lead byte whose next byte
  /// does not complete a character (or that ends the text).
  std::array<std::uint32_t, 256> single;
  /// By lead byte * 256 + next byte; a count of 0 means the two do not form a character, and the
  /// lead byte stands alone.
  std::array<std::uint32_t, 65536> pair;
};

/// The table; with `simplified`, traditional characters come out in their simplified form.
const Big5ToGbkTable& big5ToGbkTable(bool simplified);

/// Converts `big5` (which holds no zero byte) through `table`.
std::string convertBig5(std::string_view big5, const Big5ToGbkTable& table);

}  // namespace quillet::detail
