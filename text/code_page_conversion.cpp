#include "text/code_page_conversion.h"

#include <vector>

#include "text/big5_to_gbk_table.h"
#include "text/icu_converter.h"
#include "text/simplified_chinese_map.h"

namespace quillet {

using detail::IcuConverter;
using detail::untilZero;

std::string multiByteToUtf16(std::string_view text, std::optional<int> codePage) {
  text = untilZero(text);
  if (text.empty()) return {};
  IcuConverter converter(codePage.value_or(kCodePageUtf8));
  if (!converter.isOpen()) return {};
  // Every byte decodes to at most two code units (a supplementary character needs four bytes).
  std::vector<UChar> units(text.size() * 2 + 1);
  UErrorCode error = U_ZERO_ERROR;
  const int32_t length =
      ucnv_toUChars(converter.get(), units.data(), static_cast<int32_t>(units.size()), text.data(),
                    static_cast<int32_t>(text.size()), &error);
  if (U_FAILURE(error)) return {};
  std::string bytes(static_cast<std::size_t>(length + 1) * 2, '\0');  // terminating unit included
  for (int32_t i = 0; i < length; ++i) {
    bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return bytes;
}

std::string utf16ToMultiByte(std::string_view utf16, std::optional<int> codePage) {
  std::vector<UChar> units;
  units.reserve(utf16.size() / 2);
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
    const auto unit = static_cast<UChar>(static_cast<unsigned char>(utf16[i]) |
                                         static_cast<unsigned char>(utf16[i + 1]) << 8);
    if (unit == 0) break;
    units.push_back(unit);
  }
  if (units.empty()) return {};
  IcuConverter converter(codePage.value_or(kCodePageSystem));
  if (!converter.isOpen()) return {};
  UErrorCode error = U_ZERO_ERROR;
  const int32_t needed = ucnv_fromUChars(converter.get(), nullptr, 0, units.data(),
                                         static_cast<int32_t>(units.size()), &error);
  if (error != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(error)) return {};
  std::string text(static_cast<std::size_t>(needed) + 1, '\0');
  error = U_ZERO_ERROR;
  ucnv_fromUChars(converter.get(), text.data(), static_cast<int32_t>(text.size()), units.data(),
                  static_cast<int32_t>(units.size()), &error);
  if (U_FAILURE(error)) return {};
  text.resize(untilZero(text).size());
  return text;
}

std::string utf8ToGbk(std::string_view utf8) {
  return detail::convertCodePages(utf8, kCodePageUtf8, kCodePageGbk);
}

// Big5 goes through a table made from the same two ICU converters: the same result as decoding
// and encoding again, several times faster.
std::string big5ToGbk(std::string_view big5) {
  return detail::convertBig5(untilZero(big5), detail::big5ToGbkTable(false));
}

std::string gbkToUtf8(std::string_view gbk) {
  return detail::convertCodePages(gbk, kCodePageGbk, kCodePageUtf8);
}

std::string toSimplifiedChinese(std::string_view gbk) {
  std::string text(untilZero(gbk));
  const std::uint16_t* simplified = detail::simplifiedGbkCodes();
  const std::size_t size = text.size();
  for (std::size_t i = 0; i + 1 < size;) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if (lead < 0x81 || lead == 0xFF || trail < 0x40 || trail == 0x7F || trail == 0xFF) {
      ++i;  // ASCII, or a byte that starts no two-byte character: it stands alone
      continue;
    }
    const std::uint16_t code = simplified[lead * 256 + trail];
    text[i] = static_cast<char>(code >> 8);
    text[i + 1] = static_cast<char>(code & 0xFF);
    i += 2;
  }
  return text;
}

std::string big5ToSimplifiedGbk(std::string_view big5) {
  return detail::convertBig5(untilZero(big5), detail::big5ToGbkTable(true));
}

}  // namespace quillet
