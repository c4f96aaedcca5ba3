// The code-page conversions and the GBK line decoder over arbitrary bytes. The first byte picks
// the code page for the generic conversions; the rest is the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/code_page_conversion.h"
#include "text/gbk_decoder.h"

namespace {

constexpr int kCodePages[] = {quillet::kCodePageSystem,
                              quillet::kCodePageGbk,
                              quillet::kCodePageBig5,
                              quillet::kCodePageUtf8,
                              1252,
                              12345};
constexpr int kNoSuchCodePage = 12345;

std::string_view untilZero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int codePage = kCodePages[data[0] % std::size(kCodePages)];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  const std::string utf16 = quillet::multiByteToUtf16(text, codePage);
  // Two bytes per unit and a closing zero unit for any text; nothing for the empty text or from a
  // code page that does not exist.
  const bool nothing = untilZero(text).empty() || codePage == kNoSuchCodePage;
  if (utf16.size() % 2 != 0 || (nothing ? !utf16.empty() : utf16.size() < 2)) std::abort();
  quillet::utf16ToMultiByte(utf16, codePage);
  quillet::utf16ToMultiByte(text, codePage);  // raw bytes read as UTF-16, odd length included

  quillet::utf8ToGbk(text);
  quillet::big5ToGbk(text);
  quillet::big5ToSimplifiedGbk(text);
  const std::string back = quillet::gbkToUtf8(quillet::utf8ToGbk(quillet::gbkToUtf8(text)));
  // The simplified form keeps the byte length of the text it maps.
  if (quillet::toSimplifiedChinese(text).size() != untilZero(text).size()) std::abort();

  quillet::GbkDecoder decoder;
  std::vector<char16_t> out(text.size());
  if (decoder.decode(text, out.data()) > text.size()) std::abort();
  // The decoder is used for many runs in a row; a second run must not depend on the first.
  const std::size_t half = text.size() / 2;
  std::vector<char16_t> first(half), again(half);
  const std::size_t a = decoder.decode(text.substr(0, half), first.data());
  const std::size_t b = decoder.decode(text.substr(half), out.data());
  const std::size_t c = decoder.decode(text.substr(0, half), again.data());
  if (a != c || first != again || b > text.size() - half) std::abort();
  return 0;
}
