#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// Code-page conversions between the byte texts the program exchanges with the outside world
// (GBK files and HTTP records, UTF-8 or Big5 web responses) and UTF-16.
//
// A "text" here is a byte string that ends at its first zero byte (bytes after it are ignored);
// the empty text is valid everywhere and converts to an empty result. Code pages are numbered as
// on the original platform: 936 GBK, 950 Big5, 65001 UTF-8, and 0 for the system's own code page,
// which is UTF-8 on this platform. Any other number is looked up as "windows-<n>".
//
// No conversion reports an error: bytes the source cannot decode become U+FFFD, characters the
// target lacks become the target's default character ('?' for GBK and Big5), and a code page that
// cannot be opened gives an empty result.

inline constexpr int kCodePageSystem = 0;
inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageBig5 = 950;
inline constexpr int kCodePageUtf8 = 65001;

/// Decodes `text` from `codePage` (UTF-8 when left out) into UTF-16LE bytes: two bytes per code
/// unit, followed by one zero code unit. "A" gives the four bytes 41 00 00 00.
std::string multiByteToUtf16(std::string_view text, std::optional<int> codePage = std::nullopt);

/// Encodes UTF-16LE bytes (as made by multiByteToUtf16; they end at the first zero code unit, an
/// odd last byte is ignored) into `codePage` (the system's code page when left out).
std::string utf16ToMultiByte(std::string_view utf16, std::optional<int> codePage = std::nullopt);

/// UTF-8 text to GBK text.
std::string utf8ToGbk(std::string_view utf8);

/// Big5 text to GBK text; the characters stay as they are (traditional stays traditional).
std::string big5ToGbk(std::string_view big5);

/// Maps the traditional characters of a GBK text to their simplified forms. The result has the
/// same byte length as the input text: ASCII passes unchanged and a two-byte character stays two
/// bytes (a character whose simplified form GBK cannot hold in two bytes is kept as it was).
std::string toSimplifiedChinese(std::string_view gbk);

/// Big5 text to GBK text with traditional characters replaced by simplified ones.
std::string big5ToSimplifiedGbk(std::string_view big5);

/// GBK text to UTF-8 text: the edge where GBK files and records enter the Qt-free modules' UTF-8
/// strings and QString.
std::string gbkToUtf8(std::string_view gbk);

}  // namespace quillet
