#include "text/gbk_decoder.h"

#include "text/code_page_conversion.h"
#include "text/icu_converter.h"

namespace quillet {

GbkDecoder::GbkDecoder() : converter_(std::make_unique<detail::IcuConverter>(kCodePageGbk)) {}

GbkDecoder::~GbkDecoder() = default;

std::size_t GbkDecoder::decode(std::string_view bytes, char16_t* out) {
  if (bytes.empty()) return 0;
  if (converter_->isOpen()) {
    UErrorCode status = U_ZERO_ERROR;
    auto* target = reinterpret_cast<UChar*>(out);
    const char* source = bytes.data();
    ucnv_toUnicode(converter_->get(), &target, target + bytes.size(), &source,
                   bytes.data() + bytes.size(), nullptr, true, &status);
    if (U_SUCCESS(status)) return static_cast<std::size_t>(target - reinterpret_cast<UChar*>(out));
    ucnv_reset(converter_->get());
  }
  // The converter is part of ICU's own data and always opens; should it fail all the same, keep
  // every byte as a character rather than lose the text.
  for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  return bytes.size();
}

}  // namespace quillet
