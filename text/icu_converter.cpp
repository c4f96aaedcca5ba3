#include "text/icu_converter.h"

#include <unicode/ucnv_cb.h>

#include <array>

namespace quillet::detail {
namespace {

// Every undecodable byte sequence becomes U+FFFD. ICU's own default writes U+001A for a single bad
// byte of some code pages, a control character that would travel on into the GBK text.
void substituteReplacementCharacter(const void*, UConverterToUnicodeArgs* args, const char*,
                                    int32_t, UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  static const UChar kReplacement = 0xFFFD;
  *error = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, error);
}

}  // namespace

std::string icuNameOfCodePage(int codePage) {
  if (codePage == 0 || codePage == 65001) return "UTF-8";
  return "windows-" + std::to_string(codePage);
}

std::string_view untilZero(std::string_view text) {
  const std::size_t zero = text.find('\0');
  return zero == std::string_view::npos ? text : text.substr(0, zero);
}

IcuConverter::IcuConverter(int codePage) {
  UErrorCode error = U_ZERO_ERROR;
  converter_ = ucnv_open(icuNameOfCodePage(codePage).c_str(), &error);
  if (U_FAILURE(error)) {
    if (converter_ != nullptr) ucnv_close(converter_);
    converter_ = nullptr;
    return;
  }
  ucnv_setToUCallBack(converter_, substituteReplacementCharacter, nullptr, nullptr, nullptr,
                      &error);
  ucnv_setFromUCallBack(converter_, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                        &error);
}

IcuConverter::~IcuConverter() {
  if (converter_ != nullptr) ucnv_close(converter_);
}

std::string convertCodePages(std::string_view text, int fromCodePage, int toCodePage) {
  text = untilZero(text);
  if (text.empty()) return {};
  IcuConverter from(fromCodePage);
  IcuConverter to(toCodePage);
  if (!from.isOpen() || !to.isOpen()) return {};

  std::string out;
  // GBK, Big5 and UTF-8 outputs are rarely more than 1.5 times their input; grow when needed.
  out.resize(text.size() + text.size() / 2 + 16);
  std::array<UChar, 8192> pivot;
  UChar* pivotSource = pivot.data();
  UChar* pivotTarget = pivot.data();
  const char* source = text.data();
  const char* const sourceLimit = text.data() + text.size();
  std::size_t written = 0;
  bool reset = true;
  for (;;) {
    char* target = out.data() + written;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_convertEx(to.get(), from.get(), &target, out.data() + out.size(), &source, sourceLimit,
                   pivot.data(), &pivotSource, &pivotTarget, pivot.data() + pivot.size(), reset,
                   true, &error);
    reset = false;
    written = static_cast<std::size_t>(target - out.data());
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() * 2);
      continue;
    }
    if (U_FAILURE(error)) return {};
    break;
  }
  out.resize(written);
  const std::size_t zero = out.find('\0');
  if (zero != std::string::npos) out.resize(zero);
  return out;
}

}  // namespace quillet::detail
