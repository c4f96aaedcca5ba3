// The address and text helpers of the request engine over arbitrary text. The input is split at
// its first two zero bytes into a text and two markers for the search helpers.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/url_text.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view nextPart(std::string_view& rest) {
  const std::size_t zero = rest.find('\0');
  const std::string_view part = rest.substr(0, zero);
  rest = zero == std::string_view::npos ? std::string_view{} : rest.substr(zero + 1);
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string_view text = nextPart(rest);
  const std::string_view left = nextPart(rest);
  const std::string_view right = rest;

  quillet::isSecureAddress(text);
  const std::string host = quillet::urlHost(text);
  // A host never carries the user information, the port or the path.
  if (host.find_first_of("@/?#") != std::string::npos) std::abort();
  if (!host.empty() && host.front() != '[' && host.find(':') != std::string::npos) std::abort();
  const std::string path = quillet::urlPath(text);
  if (path.empty() || path.front() != '/') std::abort();
  const int port = quillet::urlPort(text);
  if (port < 0 || port > 65535) std::abort();

  const std::string_view trimmed = quillet::trimBlanks(text);
  if (!trimmed.empty() && (isBlank(trimmed.front()) || isBlank(trimmed.back()))) std::abort();

  const std::size_t found = quillet::findIgnoringCase(text, left, right.size() % 8);
  if (found != std::string_view::npos && found + left.size() > text.size()) std::abort();
  const std::optional<int> start =
      right.empty() ? std::nullopt : std::optional<int>(static_cast<signed char>(right[0]));
  const std::string between =
      quillet::textBetween(text, std::string(left), std::string(right), start, size % 2 == 0);
  if (between.size() > text.size()) std::abort();
  const std::string before = quillet::textBefore(text, left, start, size % 3 == 0);
  if (before.size() > text.size() || text.substr(0, before.size()) != before) std::abort();
  return 0;
}
