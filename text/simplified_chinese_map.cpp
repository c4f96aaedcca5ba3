#include "text/simplified_chinese_map.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>
#include <mutex>

#include "text/icu_converter.h"

namespace quillet::detail {
namespace {

using Table = std::array<std::uint16_t, 65536>;

// Maps every two-byte GBK code through Unicode: decode, transliterate the one character, encode.
// About 24,000 characters; done once, then every lookup is an array read.
std::unique_ptr<Table> buildTable() {
  auto table = std::make_unique<Table>();
  for (std::size_t code = 0; code < table->size(); ++code) {
    (*table)[code] = static_cast<std::uint16_t>(code);
  }
  UErrorCode error = U_ZERO_ERROR;
  std::unique_ptr<icu::Transliterator> transliterator(icu::Transliterator::createInstance(
      icu::UnicodeString::fromUTF8("Traditional-Simplified"), UTRANS_FORWARD, error));
  IcuConverter gbk(936);
  if (U_FAILURE(error) || !transliterator || !gbk.isOpen()) return table;

  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      UChar units[4];
      error = U_ZERO_ERROR;
      const int32_t length = ucnv_toUChars(gbk.get(), units, 4, bytes, 2, &error);
      if (U_FAILURE(error) || length != 1 || units[0] == 0xFFFD) continue;
      icu::UnicodeString character(units[0]);
      transliterator->transliterate(character);
      if (character.length() != 1 || character.charAt(0) == units[0]) continue;
      const UChar simplified = character.charAt(0);
      char encoded[8];
      error = U_ZERO_ERROR;
      const int32_t encodedLength = ucnv_fromUChars(gbk.get(), encoded, 8, &simplified, 1, &error);
      if (U_FAILURE(error) || encodedLength != 2) continue;
      (*table)[lead * 256 + trail] = static_cast<std::uint16_t>(
          static_cast<unsigned char>(encoded[0]) * 256 + static_cast<unsigned char>(encoded[1]));
    }
  }
  return table;
}

}  // namespace

const std::uint16_t* simplifiedGbkCodes() {
  static const std::unique_ptr<Table> table = buildTable();
  return table->data();
}

std::uint16_t simplifiedGbkCode(std::uint16_t code) {
  return simplifiedGbkCodes()[code];
}

}  // namespace quillet::detail
