#include "demo/item_address.h"

namespace quillet {
namespace {

bool consume(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string itemAddress(int port, int id) {
  return "http://127.0.0.1:" + std::to_string(port) + "/item/" + std::to_string(id);
}

std::optional<int> parseItemAddress(std::string_view address, int port) {
  std::string_view rest = trimmed(address);
  if (!consume(rest, "http://")) return std::nullopt;
  if (!consume(rest, "127.0.0.1:") && !consume(rest, "localhost:")) return std::nullopt;
  if (!consume(rest, std::to_string(port))) return std::nullopt;
  if (!consume(rest, "/item/")) return std::nullopt;
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  return parseItemId(rest);
}

std::optional<int> parseItemId(std::string_view digits) {
  // At most six digits keeps the number far from overflow; no leading zero, so
  // one item has exactly one address.
  if (digits.empty() || digits.size() > 6 || digits.front() == '0') return std::nullopt;
  int id = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    id = id * 10 + (c - '0');
  }
  if (id < kFirstItemId || id > kLastItemId) return std::nullopt;
  return id;
}

}  // namespace quillet
