#pragma once

#include <unicode/ucnv.h>

#include <string>
#include <string_view>

namespace quillet::detail {

/// An ICU converter for one of the program's code page numbers, closed when it goes out of scope.
/// Bytes that the code page cannot decode become U+FFFD; characters it cannot encode become its
/// own substitution character.
class IcuConverter {
 public:
  explicit IcuConverter(int codePage);
  ~IcuConverter();
  IcuConverter(const IcuConverter&) = delete;
  IcuConverter& operator=(const IcuConverter&) = delete;

  bool isOpen() const { return converter_ != nullptr; }
  UConverter* get() const { return converter_; }

 private:
  UConverter* converter_ = nullptr;
};

/// The ICU name of a code page number: 0 and 65001 are UTF-8, anything else "windows-<n>".
std::string icuNameOfCodePage(int codePage);

/// `text` up to (not including) its first zero byte.
std::string_view untilZero(std::string_view text);

/// Converts `text` from one code page to another in one streaming pass through a UTF-16 pivot.
/// Empty when either converter cannot be opened.
std::string convertCodePages(std::string_view text, int fromCodePage, int toCodePage);

}  // namespace quillet::detail
