#include "text/big5_to_gbk_table.h"

#include <memory>

#include "text/icu_converter.h"
#include "text/simplified_chinese_map.h"

namespace quillet::detail {
namespace {

std::uint32_t pack(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > 3) return 0;
  std::uint32_t entry = static_cast<std::uint32_t>(bytes.size()) << 24;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    entry |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (16 - 8 * i);
  }
  return entry;
}

// The GBK bytes of the characters ICU decodes from `big5`, and how many characters that was.
std::string throughUnicode(const std::string& big5, IcuConverter& from, IcuConverter& to,
                           int& characters) {
  UChar units[8];
  UErrorCode error = U_ZERO_ERROR;
  ucnv_resetToUnicode(from.get());
  const int32_t length =
      ucnv_toUChars(from.get(), units, 8, big5.data(), static_cast<int32_t>(big5.size()), &error);
  characters = U_SUCCESS(error) ? length : 0;
  char out[16];
  error = U_ZERO_ERROR;
  ucnv_resetFromUnicode(to.get());
  const int32_t written = ucnv_fromUChars(to.get(), out, 16, units, length, &error);
  return U_SUCCESS(error) ? std::string(out, static_cast<std::size_t>(written)) : "?";
}

std::uint32_t simplify(std::uint32_t entry) {
  if (entry >> 24 != 2) return entry;
  const std::uint16_t gbk = static_cast<std::uint16_t>((entry >> 8) & 0xFFFF);
  return (2u << 24) | (static_cast<std::uint32_t>(simplifiedGbkCode(gbk)) << 8);
}

std::unique_ptr<Big5ToGbkTable> build(bool simplified) {
  auto table = std::make_unique<Big5ToGbkTable>();
  IcuConverter from(950);
  IcuConverter to(936);
  if (!from.isOpen() || !to.isOpen()) {
    table->single.fill(pack("?"));
    table->pair.fill(0);
    return table;
  }
  int characters = 0;
  for (int b = 0; b < 256; ++b) {
    table->single[b] =
        b == 0 ? 0
               : pack(throughUnicode(std::string(1, static_cast<char>(b)), from, to, characters));
  }
  table->pair.fill(0);
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int next = 1; next < 256; ++next) {
      const std::string bytes{static_cast<char>(lead), static_cast<char>(next)};
      const std::string gbk = throughUnicode(bytes, from, to, characters);
      // One character from two bytes: they form a pair (assigned or not). Two: the lead byte
      // stood alone and the next one starts afresh.
      if (characters == 1) table->pair[lead * 256 + next] = pack(gbk);
    }
  }
  if (simplified) {
    for (std::uint32_t& entry : table->single) entry = simplify(entry);
    for (std::uint32_t& entry : table->pair) entry = simplify(entry);
  }
  return table;
}

void append(std::string& out, std::size_t& at, std::uint32_t entry) {
  const unsigned count = entry >> 24;
  out[at] = static_cast<char>(entry >> 16);
  if (count > 1) out[at + 1] = static_cast<char>(entry >> 8);
  if (count > 2) out[at + 2] = static_cast<char>(entry);
  at += count;
}

}  // namespace

const Big5ToGbkTable& big5ToGbkTable(bool simplified) {
  static const std::unique_ptr<Big5ToGbkTable> plain = build(false);
  static const std::unique_ptr<Big5ToGbkTable> simple = build(true);
  return simplified ? *simple : *plain;
}

std::string convertBig5(std::string_view big5, const Big5ToGbkTable& table) {
  // A pair gives at most three bytes, usually two; a byte alone at most three.
  std::string out(big5.size() + big5.size() / 2 + 16, '\0');
  std::size_t at = 0;
  const std::size_t size = big5.size();
  for (std::size_t i = 0; i < size;) {
    if (out.size() - at < 4) out.resize(out.size() * 2);
    const auto b = static_cast<unsigned char>(big5[i]);
    if (b < 0x80) {
      out[at++] = static_cast<char>(b);
      ++i;
      continue;
    }
    if (i + 1 < size) {
      const std::uint32_t entry = table.pair[b * 256 + static_cast<unsigned char>(big5[i + 1])];
      if (entry != 0) {
        append(out, at, entry);
        i += 2;
        continue;
      }
    }
    append(out, at, table.single[b]);
    ++i;
  }
  out.resize(at);
  return out;
}

}  // namespace quillet::detail
