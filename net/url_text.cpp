#include "net/url_text.h"

#include <algorithm>

namespace quillet {
namespace {

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         findIgnoringCase(text.substr(0, prefix.size()), prefix) == 0;
}

// The address without its "http://" or "https://" (in any case), when it has one.
std::string_view withoutScheme(std::string_view address) {
  if (startsWithIgnoringCase(address, "https://")) return address.substr(8);
  if (startsWithIgnoringCase(address, "http://")) return address.substr(7);
  return address;
}

// Host and port: everything before the path, the query or the fragment, without the user
// information ("user:password@") in front of them.
std::string_view authorityOf(std::string_view address) {
  const std::string_view rest = withoutScheme(address);
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  const std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  return authority;
}

// The host part of an authority: a bracketed IPv6 literal with its brackets ("[::1]"), or
// everything before the port's colon.
std::string_view hostOf(std::string_view authority) {
  if (authority.starts_with('[')) {
    const std::size_t close = authority.find(']');
    return close == std::string_view::npos ? authority : authority.substr(0, close + 1);
  }
  return authority.substr(0, authority.find(':'));
}

// The GBK bytes of "#引号", the stand-in for a double quote in textBetween's markers.
constexpr std::string_view kQuoteStandIn = "#\xD2\xFD\xBA\xC5";

void replaceQuoteStandIns(std::string& marker) {
  for (std::size_t at = marker.find(kQuoteStandIn); at != std::string::npos;
       at = marker.find(kQuoteStandIn, at + 1)) {
    marker.replace(at, kQuoteStandIn.size(), "\"");
  }
}

std::size_t find(std::string_view text, std::string_view needle, std::size_t from,
                 bool ignoreCase) {
  if (ignoreCase) return findIgnoringCase(text, needle, from);
  return text.find(needle, from);
}

}  // namespace

std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (from > text.size() || needle.size() > text.size() - from) return std::string_view::npos;
  const auto it =
      std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), needle.begin(),
                  needle.end(), [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
  return it == text.end() && !needle.empty() ? std::string_view::npos
                                             : static_cast<std::size_t>(it - text.begin());
}

std::string_view trimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool isSecureAddress(std::string_view address) {
  return startsWithIgnoringCase(address, "https://");
}

std::string urlHost(std::string_view address) {
  std::string lower(hostOf(authorityOf(address)));
  std::transform(lower.begin(), lower.end(), lower.begin(), lowerAscii);
  return lower;
}

std::string urlPath(std::string_view address) {
  const std::string_view rest = withoutScheme(address);
  const std::size_t end = rest.find_first_of("/?#");
  if (end == std::string_view::npos) return "/";
  if (rest[end] == '/') return std::string(rest.substr(end));
  return "/" + std::string(rest.substr(end));
}

int urlPort(std::string_view address) {
  const std::string_view authority = authorityOf(address);
  const std::string_view afterHost = authority.substr(hostOf(authority).size());
  const int defaultPort = isSecureAddress(address) ? 443 : 80;
  if (afterHost.empty() || afterHost == ":") return defaultPort;
  if (afterHost.front() != ':') return 0;  // "[::1]x": no port text where one belongs
  int port = 0;
  for (std::size_t i = 1; i < afterHost.size(); ++i) {
    const char c = afterHost[i];
    if (c < '0' || c > '9') break;
    port = port * 10 + (c - '0');
    if (port > 65535) return 0;
  }
  return port;
}

std::string textBetween(std::string_view text, std::string leftMarker, std::string rightMarker,
                        std::optional<int> start, bool caseSensitive) {
  replaceQuoteStandIns(leftMarker);
  replaceQuoteStandIns(rightMarker);
  const std::size_t from = start && *start > 1 ? static_cast<std::size_t>(*start - 1) : 0;
  const std::size_t left = find(text, leftMarker, from, !caseSensitive);
  if (left == std::string_view::npos) return {};
  const std::string_view rest = text.substr(left + leftMarker.size());
  const std::size_t right = find(rest, rightMarker, 0, !caseSensitive);
  if (right == std::string_view::npos) return {};
  return std::string(rest.substr(0, right));
}

std::string textBefore(std::string_view text, std::string_view separator, std::optional<int> start,
                       bool ignoreCase) {
  const std::size_t from = start && *start > 1 ? static_cast<std::size_t>(*start - 1) : 0;
  const std::size_t at = find(text, separator, from, ignoreCase);
  if (at == std::string_view::npos) return {};
  return std::string(text.substr(0, at));
}

}  // namespace quillet
