#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// Address and text helpers of the request engine. Positions count bytes from 1; a search that
// ignores case treats ASCII capital and small letters alike.

/// True when `address` begins with "https://" in any case.
bool isSecureAddress(std::string_view address);

/// The host of an address, in small letters: without scheme (recognised in any case), user
/// information, port, path or query. "HTTP://user:pw@Example.com:81/a?b" gives "example.com"; an
/// IPv6 literal keeps its brackets: "http://[::1]:8080/" gives "[::1]".
std::string urlHost(std::string_view address);

/// The request path with query and fragment: from the first "/", "?" or "#" after the host to the
/// end; "/" when there is none. A query right after the host gets a "/" in front ("/?q=1").
std::string urlPath(std::string_view address);

/// The port written in the address (after the host, so "http://[::1]:8080/" gives 8080), or the
/// scheme's default (443 for https, 80 otherwise) when none is written. A port text is read as its
/// leading decimal digits; 0 when it has none or the number is too large to be a port.
int urlPort(std::string_view address);

/// The text between the first `leftMarker` found from `start` (1-based, the beginning when left
/// out) and the next `rightMarker`; empty when either is missing. In both markers "#引号" (GBK)
/// stands for a double quote. Case is ignored unless `caseSensitive`.
std::string textBetween(std::string_view text, std::string leftMarker, std::string rightMarker,
                        std::optional<int> start = std::nullopt, bool caseSensitive = false);

/// The text before the first `separator` found from `start` (1-based; below 1 or left out counts
/// as 1); empty when it is not found. Case counts unless `ignoreCase`.
std::string textBefore(std::string_view text, std::string_view separator,
                       std::optional<int> start = std::nullopt, bool ignoreCase = false);

/// Position (0-based) of `needle` in `text` from `from`, ignoring ASCII case; npos when absent.
std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from = 0);

/// `text` without the ASCII blanks (space, tab, CR, LF) at both ends.
std::string_view trimBlanks(std::string_view text);

}  // namespace quillet
