#pragma once

#include <cstdint>

namespace quillet::detail {

/// The simplified form of the two-byte GBK character `code` (lead byte * 256 + trail byte), as a
/// two-byte GBK code; `code` itself when the character has no simplified form, or when that form is
/// not a single two-byte GBK character. Built once per process from ICU's
/// "Traditional-Simplified" transliterator; thread-safe.
std::uint16_t simplifiedGbkCode(std::uint16_t code);

/// The whole map: 65536 entries indexed like simplifiedGbkCode.
const std::uint16_t* simplifiedGbkCodes();

}  // namespace quillet::detail
